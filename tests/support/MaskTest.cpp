// Wildcard masks: matching rules and the compile errors.
#include "support/Mask.h"

#include <gtest/gtest.h>

#include <string>

namespace linkvane {
namespace {

struct MatchCase {
    std::string Mask;
    std::string Text;
    bool Matches;
};

void PrintTo(const MatchCase& c, std::ostream* os) {
    *os << "'" << c.Mask << "' on '" << c.Text << "'";
}

class MaskMatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(MaskMatchTest, Matches) {
    const MatchCase& c = GetParam();
    EXPECT_EQ(TMask(c.Mask).Matches(c.Text), c.Matches);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MaskMatchTest,
    ::testing::Values(
        // Whole-text matching, letters without case.
        MatchCase{"*.htm", "A.HTM", true}, MatchCase{"*.htm", "a.html", false},
        MatchCase{"abc", "ABC", true}, MatchCase{"abc", "abcd", false},
        MatchCase{"abc", "ab", false}, MatchCase{"", "", true}, MatchCase{"", "a", false},
        MatchCase{"*", "", true}, MatchCase{"*", "anything", true},
        MatchCase{"\xC3\xA9", "\xC3\x89", false}, // only ASCII letters fold
        // "?" is one byte; after "*" it adds nothing.
        MatchCase{"a?b", "axb", true}, MatchCase{"a?b", "ab", false}, MatchCase{"a*?b", "ab", true},
        MatchCase{"a*??b", "ab", true}, MatchCase{"*?", "", true}, MatchCase{"?", "", false},
        MatchCase{"??", "abc", false},
        // Skips and backtracking to the latest skip.
        MatchCase{"a*", "a", true}, MatchCase{"*a", "ba", true}, MatchCase{"*a", "ab", false},
        MatchCase{"*ab", "aab", true}, MatchCase{"*aab", "aaab", true},
        MatchCase{"*a*b", "xaxxb", true}, MatchCase{"*a*b", "xbxxa", false},
        MatchCase{"a*b*c", "abbbcbc", true}, MatchCase{"a*b?c", "abxbxc", true},
        MatchCase{"*x*x*x*y", "xxxxxxxxxxxxxxxxxxxxxxx", false},
        MatchCase{"http://*.example.com/*", "HTTP://www.Example.com/a/b.html", true},
        MatchCase{"http://*.example.com/*", "http://example.com/", false},
        // Sets.
        MatchCase{"[!0-9]*", "7up", false}, MatchCase{"[!0-9]*", "up7", true},
        MatchCase{"[a-c]x", "Bx", true}, MatchCase{"[a-c]x", "dx", false},
        MatchCase{"[A-C]x", "bx", true}, MatchCase{"[!a-c]x", "Bx", false},
        MatchCase{"[xyz]", "Y", true}, MatchCase{"[a-cx-z]", "y", true},
        MatchCase{"[*?]", "?", true}, MatchCase{"[*?]", "a", false},
        MatchCase{"*[0-9]", "page12", true}, MatchCase{"[z-a]", "m", false}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

struct InvalidCase {
    const char* Name;
    std::string Mask;
    int Position;
};

void PrintTo(const InvalidCase& c, std::ostream* os) {
    *os << c.Name;
}

class MaskInvalidTest : public ::testing::TestWithParam<InvalidCase> {};

TEST_P(MaskInvalidTest, RaisesWithPosition) {
    const InvalidCase& c = GetParam();
    try {
        TMask mask(c.Mask);
        FAIL() << "compiled";
    } catch (const EMaskException& e) {
        EXPECT_EQ(e.Message(),
                  "'" + c.Mask + "' is an invalid mask at (" + std::to_string(c.Position) + ")");
    }
}

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) {
        out += s;
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MaskInvalidTest,
    ::testing::Values(InvalidCase{"MissingClose", "[a", 3}, InvalidCase{"OnlyOpen", "x[", 3},
                      InvalidCase{"EmptySet", "[]", 2}, InvalidCase{"EmptyNegatedSet", "[!]", 3},
                      InvalidCase{"DashFirst", "[-a]", 2}, InvalidCase{"DashAfterNot", "[!-a]", 3},
                      InvalidCase{"DashLast", "[a-]", 3},
                      InvalidCase{"DashAfterRange", "[a-c-e]", 5},
                      InvalidCase{"RangeWithoutEnd", "[a-", 4},
                      InvalidCase{"ThirtyOneSkipSteps", Repeat("*a", 31), 62},
                      InvalidCase{"EndCountsAsSkipStep", Repeat("*a", 30) + "*", 62}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(MaskTest, ThirtySkipStepsAndLongMasksWithoutStarsCompile) {
    EXPECT_TRUE(TMask(Repeat("*a", 30)).Matches(Repeat("xa", 30)));
    const std::string longUrl = "http://" + Repeat("sub.", 50) + "example.com/index.html";
    EXPECT_TRUE(TMask(longUrl).Matches(longUrl));
    EXPECT_TRUE(TMask("*" + Repeat("?", 100) + "x").Matches("x"));
}

TEST(MaskTest, MasksMatchBinaryTexts) {
    const std::string text("a\0b", 3);
    EXPECT_TRUE(TMask("a?b").Matches(text));
    EXPECT_TRUE(TMask(std::string("*\0*", 3)).Matches(text));
    EXPECT_FALSE(TMask("ab").Matches(text));
}

} // namespace
} // namespace linkvane
