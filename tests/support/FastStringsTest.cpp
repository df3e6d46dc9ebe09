// Substring searches, the text helpers built on them and the star pattern
// matcher.
#include "support/FastStrings.h"
#include "support/Exception.h"
#include "support/FastStringUtils.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace linkvane {
namespace {

using SearchFn = int32_t (*)(const char*, const char*, int32_t, int32_t, int32_t);

struct SearchCase {
    const char* Name;
    SearchFn Fn;
    std::string Text;
    std::string Pattern;
    int32_t TextLen; // -1: the whole text
    int32_t StartPos;
    int32_t Expected;
};

void PrintTo(const SearchCase& c, std::ostream* os) {
    *os << c.Name;
}

class SearchTest : public ::testing::TestWithParam<SearchCase> {};

TEST_P(SearchTest, FindsExpectedPosition) {
    const SearchCase& c = GetParam();
    const int32_t textLen = c.TextLen < 0 ? static_cast<int32_t>(c.Text.size()) : c.TextLen;
    EXPECT_EQ(c.Fn(c.Text.data(), c.Pattern.data(), textLen, static_cast<int32_t>(c.Pattern.size()),
                   c.StartPos),
              c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SearchTest,
    ::testing::Values(
        SearchCase{"ForwardFrom1", SearchForward, "xxabcabc", "abc", -1, 1, 3},
        SearchCase{"ForwardFrom4", SearchForward, "xxabcabc", "abc", -1, 4, 6},
        SearchCase{"ForwardFromLastFit", SearchForward, "xxabcabc", "abc", -1, 6, 6},
        SearchCase{"ForwardPastLastFit", SearchForward, "xxabcabc", "abc", -1, 7, 0},
        SearchCase{"ForwardStartBelow1", SearchForward, "abc", "abc", -1, -5, 1},
        SearchCase{"ForwardTextLenCutsMatch", SearchForward, "xxabcabc", "abc", 7, 4, 0},
        SearchCase{"ForwardTextLenKeepsMatch", SearchForward, "xxabcabc", "abc", 5, 1, 3},
        SearchCase{"ForwardOverlappingRepeats", SearchForward, "aaaab", "aab", -1, 1, 3},
        SearchCase{"ForwardSkipOnRepeatedLastByte", SearchForward, "abbabbab", "bab", -1, 1, 3},
        SearchCase{"ForwardCaseMatters", SearchForward, "xxabc", "ABC", -1, 1, 0},
        SearchCase{"ForwardEmptyPattern", SearchForward, "abc", "", -1, 1, 0},
        SearchCase{"ForwardPatternLonger", SearchForward, "ab", "abc", -1, 1, 0},
        SearchCase{"ForwardOneByte", SearchForward, "abc", "c", -1, 1, 3},
        SearchCase{"ForwardUtf8", SearchForward, "a\xC3\xA9t\xC3\xA9", "\xC3\xA9", -1, 3, 5},
        SearchCase{"NoCaseUpperPattern", SearchForwardNoCase, "xxabc", "ABC", -1, 1, 3},
        SearchCase{"NoCaseMixed", SearchForwardNoCase, "xxAbCaBc", "aBc", -1, 4, 6},
        // The last byte of the pattern occurs earlier in it in the other case:
        // its shift must come from the folded byte.
        SearchCase{"NoCaseShiftOfFoldedLastByte", SearchForwardNoCase, "xAxa", "axA", -1, 1, 2},
        SearchCase{"NoCaseLeavesNonAscii", SearchForwardNoCase, "\xC3\xA9", "\xC3\x89", -1, 1, 0},
        SearchCase{"NoCaseNotLetters", SearchForwardNoCase, "[{", "{", -1, 1, 2},
        SearchCase{"BackwardFromEnd", SearchBackward, "xxabcabc", "abc", -1, 0, 6},
        SearchCase{"BackwardFrom5", SearchBackward, "xxabcabc", "abc", -1, 5, 3},
        SearchCase{"BackwardStartPastFit", SearchBackward, "xxabcabc", "abc", -1, 7, 6},
        SearchCase{"BackwardNegativeStart", SearchBackward, "xxabcabc", "abc", -1, -1, 0},
        SearchCase{"BackwardTextLen", SearchBackward, "xxabcabc", "abc", 7, 0, 3},
        SearchCase{"BackwardNone", SearchBackward, "xxabcabc", "abd", -1, 0, 0},
        SearchCase{"BackwardEmptyPattern", SearchBackward, "abc", "", -1, 0, 0},
        SearchCase{"BackwardPatternLonger", SearchBackward, "ab", "abc", -1, 0, 0},
        SearchCase{"BackwardCaseMatters", SearchBackward, "xxabc", "ABC", -1, 0, 0},
        SearchCase{"BackwardNoCase", SearchBackwardNoCase, "xxABCabc", "abc", -1, 5, 3}),
    [](const auto& info) { return std::string(info.param.Name); });

/// Reference: the plain definition of the searches.
int32_t NaiveSearch(const std::string& text, const std::string& pat, int32_t textLen,
                    int32_t startPos, bool forward, bool noCase) {
    const auto same = [&](char x, char y) {
        return noCase ? Fold[static_cast<uint8_t>(x)] == Fold[static_cast<uint8_t>(y)] : x == y;
    };
    const int32_t m = static_cast<int32_t>(pat.size());
    if (m < 1 || textLen < m) {
        return 0;
    }
    const auto at = [&](int32_t p) {
        for (int32_t k = 0; k < m; ++k) {
            if (!same(text[p - 1 + k], pat[k])) {
                return false;
            }
        }
        return true;
    };
    if (forward) {
        for (int32_t p = std::max(startPos, 1); p + m - 1 <= textLen; ++p) {
            if (at(p)) {
                return p;
            }
        }
        return 0;
    }
    int32_t start = startPos;
    if (startPos == 0 || startPos + m > textLen) {
        start = textLen - m + 1;
    }
    for (int32_t p = start; p >= 1; --p) {
        if (at(p)) {
            return p;
        }
    }
    return 0;
}

// Random texts over a small alphabet (both cases, a non-letter, a UTF-8
// byte) give many near matches, where skip-table faults show; texts longer
// than 16 bytes plus the pattern also take the block test.
TEST(SearchTest, AgreesWithPlainDefinitionOnRandomTexts) {
    std::mt19937 rng(20240131);
    const std::string alphabet = "abAB-\xC3";
    auto randomText = [&](int maxLen) {
        std::string s(std::uniform_int_distribution<int>(0, maxLen)(rng), ' ');
        for (char& c : s) {
            c = alphabet[std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(rng)];
        }
        return s;
    };
    for (int round = 0; round < 20000; ++round) {
        const std::string text = randomText(round % 2 == 0 ? 24 : 90);
        const std::string pat = randomText(5);
        const int32_t len = static_cast<int32_t>(text.size());
        const int32_t textLen = std::uniform_int_distribution<int32_t>(0, len)(rng);
        const int32_t start = std::uniform_int_distribution<int32_t>(0, len + 1)(rng);
        const int32_t m = static_cast<int32_t>(pat.size());
        SCOPED_TRACE("text '" + text + "' pattern '" + pat + "' textLen " +
                     std::to_string(textLen) + " start " + std::to_string(start));
        ASSERT_EQ(SearchForward(text.data(), pat.data(), textLen, m, start),
                  NaiveSearch(text, pat, textLen, start, true, false));
        ASSERT_EQ(SearchForwardNoCase(text.data(), pat.data(), textLen, m, start),
                  NaiveSearch(text, pat, textLen, start, true, true));
        ASSERT_EQ(SearchBackward(text.data(), pat.data(), textLen, m, start),
                  NaiveSearch(text, pat, textLen, start, false, false));
        ASSERT_EQ(SearchBackwardNoCase(text.data(), pat.data(), textLen, m, start),
                  NaiveSearch(text, pat, textLen, start, false, true));
    }
}

TEST(FoldTableTest, UpperCasesAsciiLettersOnly) {
    for (int b = 0; b < 256; ++b) {
        const int expected = b >= 'a' && b <= 'z' ? b - 32 : b;
        EXPECT_EQ(Fold[b], expected) << "byte " << b;
    }
}

TEST(SkipTableTest, LaterOccurrenceWinsAndLastByteTakesNoPart) {
    int32_t skip[256];
    MakeSkipTable("abcab", 5, false, skip);
    EXPECT_EQ(skip[static_cast<uint8_t>('a')], 1);
    EXPECT_EQ(skip[static_cast<uint8_t>('b')], 3);
    EXPECT_EQ(skip[static_cast<uint8_t>('c')], 2);
    EXPECT_EQ(skip[static_cast<uint8_t>('x')], 5);
    EXPECT_EQ(skip[static_cast<uint8_t>('A')], 5);

    MakeSkipTable("abcab", 5, true, skip);
    EXPECT_EQ(skip[static_cast<uint8_t>('A')], 1);
    EXPECT_EQ(skip[static_cast<uint8_t>('a')], 5) << "no-case tables are indexed by folded bytes";
}

TEST(SkipTableTest, EmptyPatternRaises) {
    int32_t skip[256];
    try {
        MakeSkipTable("", 0, false, skip);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "BufferLen is 0");
    }
}

TEST(SearchTextTest, ChoosesDirectionAndCase) {
    EXPECT_EQ(SearchText("abc", "xxabcabc", true, 1, true), 3);
    EXPECT_EQ(SearchText("abc", "xxabcabc", true, 0, false), 6);
    EXPECT_EQ(SearchText("ABC", "xxabcabc", true, 1, true), 0);
    EXPECT_EQ(SearchText("ABC", "xxabcabc", false, 4, true), 6);
    EXPECT_EQ(SearchText("ABC", "xxabcabc", false, 5, false), 3);
    EXPECT_EQ(SearchText("", "abc", true, 1, true), 0);
    EXPECT_EQ(SearchText("a", "", true, 1, true), 0);
}

TEST(CharPosFromTest, Cases) {
    EXPECT_EQ(CharPosFrom("a>b>", '>', 1), 2);
    EXPECT_EQ(CharPosFrom("a>b>", '>', 3), 4);
    EXPECT_EQ(CharPosFrom("a>b>", '>', 4), 4);
    EXPECT_EQ(CharPosFrom("a>b>", '>', 5), 0);
    EXPECT_EQ(CharPosFrom("a>b>", '<', 1), 0);
    EXPECT_EQ(CharPosFrom("", '>', 1), 0);
    EXPECT_EQ(CharPosFrom(std::string("a\0>", 3), '\0', 1), 2);
}

TEST(CopyClippedTest, Cases) {
    EXPECT_EQ(CopyClipped("abcdef", 4, 10), "def");
    EXPECT_EQ(CopyClipped("abcdef", 7, 1), "");
    EXPECT_EQ(CopyClipped("abcdef", 1, 3), "abc");
    EXPECT_EQ(CopyClipped("abcdef", 6, 1), "f");
    EXPECT_EQ(CopyClipped("abcdef", 0, 3), "");
    EXPECT_EQ(CopyClipped("abcdef", 2, 0), "");
    EXPECT_EQ(CopyClipped("abcdef", 2, -1), "");
    EXPECT_EQ(CopyClipped("", 1, 1), "");
    // The start tag of an element, as the query engine takes it.
    const std::string html = "<a href=\"x\">text</a>";
    EXPECT_EQ(CopyClipped(html, 1, CharPosFrom(html, '>', 1)), "<a href=\"x\">");
}

struct BetweenCase {
    const char* Name;
    std::string Text, StartMark, EndMark;
    bool CaseSensitive;
    std::string Expected;
};

void PrintTo(const BetweenCase& c, std::ostream* os) {
    *os << c.Name;
}

class TextBetweenTest : public ::testing::TestWithParam<BetweenCase> {};

TEST_P(TextBetweenTest, Cuts) {
    const BetweenCase& c = GetParam();
    EXPECT_EQ(TextBetween(c.Text, c.StartMark, c.EndMark, c.CaseSensitive), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextBetweenTest,
    ::testing::Values(BetweenCase{"EndMarkRightAfterStartIsPassedOver", "[][x]", "[", "]", true,
                                  "][x"},
                      BetweenCase{"Plain", "a<b>c", "<", ">", true, "b"},
                      BetweenCase{"NoStartMark", "abc&def", "", "&", true, "abc"},
                      BetweenCase{"NoEndMark", "abc&def", "&", "", true, "def"},
                      BetweenCase{"NoMarks", "abc", "", "", true, "abc"},
                      BetweenCase{"StartMarkMissing", "abc", "x", "c", true, ""},
                      BetweenCase{"EndMarkMissing", "abc", "a", "x", true, ""},
                      BetweenCase{"StartMarkAtEnd", "abc", "c", "", true, ""},
                      BetweenCase{"EndMarkAtStart", "&abc", "", "&", true, ""},
                      BetweenCase{"CaseInsensitive", "xID=5&Y", "id=", "&y", false, "5"},
                      BetweenCase{"CaseSensitiveMisses", "xID=5&", "id=", "&", true, ""}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(TextByStarPatternTest, Cases) {
    EXPECT_EQ(TextByStarPattern("a.php?id=42&p=1", "id=*&", true), "42");
    EXPECT_EQ(TextByStarPattern("a.php?id=42&p=1", "id=*", true), "42&p=1");
    EXPECT_EQ(TextByStarPattern("a.php?id=42&p=1", "*&", true), "a.php?id=42");
    EXPECT_EQ(TextByStarPattern("a.php?id=42&p=1", "id=", true), "");
    EXPECT_EQ(TextByStarPattern("a.php?ID=42&p=1", "id=*&", false), "42");
    // Further stars belong to the end mark as plain characters.
    EXPECT_EQ(TextByStarPattern("a=1*b*c", "a=*b*", true), "1*");
    // The end mark is cut to 255 bytes.
    const std::string tail(300, 'z');
    EXPECT_EQ(TextByStarPattern("k=v" + std::string(254, 'z'), "k=*" + tail, true), "");
    EXPECT_EQ(TextByStarPattern("k=v" + std::string(255, 'z'), "k=*" + tail, true), "v");
}

struct StarCase {
    const char* Name;
    std::string Text, Pattern;
    int32_t TextLen; // -1: the whole text
    int32_t StartPos;
    bool CaseSensitive;
    bool Found;
    int32_t FirstPos, LastPos;
};

void PrintTo(const StarCase& c, std::ostream* os) {
    *os << c.Name;
}

class MatchStarPatternTest : public ::testing::TestWithParam<StarCase> {};

TEST_P(MatchStarPatternTest, Matches) {
    const StarCase& c = GetParam();
    int32_t first = -1;
    int32_t last = -1;
    const int32_t textLen = c.TextLen < 0 ? static_cast<int32_t>(c.Text.size()) : c.TextLen;
    EXPECT_EQ(
        MatchStarPattern(c.Text, c.Pattern, textLen, c.StartPos, c.CaseSensitive, first, last),
        c.Found);
    EXPECT_EQ(first, c.FirstPos);
    EXPECT_EQ(last, c.LastPos);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MatchStarPatternTest,
    ::testing::Values(
        StarCase{"OneStarIsWholeStretch", "0123456789", "*", -1, 1, false, true, 1, 10},
        StarCase{"OneStarFromStart", "0123456789", "*", 8, 3, false, true, 3, 8},
        StarCase{"TwoStarsNothing", "0123456789", "**", -1, 1, false, false, 0, 0},
        StarCase{"EmptyPattern", "abc", "", -1, 1, false, false, 0, 0},
        StarCase{"EmptyText", "", "*", 0, 1, false, false, 0, 0},
        StarCase{"StartPastTextLen", "abc", "c", 2, 3, false, false, 0, 0},
        StarCase{"PlainWord", "a next b", "next", -1, 1, false, true, 3, 6},
        StarCase{"NoCase", "xAbCx", "abc", -1, 1, false, true, 2, 4},
        StarCase{"CaseSensitiveMiss", "xAbCx", "abc", -1, 1, true, false, 0, 0},
        StarCase{"NotAnchored", "abc", "*b*", -1, 1, false, true, 2, 2},
        StarCase{"TightenedToLastFirstSegment", "((x)", "(*)", -1, 1, false, true, 2, 4},
        StarCase{"EndsAtFirstCompletion", "<a><a>x</a>y</a>", "<a>*</a>", -1, 1, false, true, 4,
                 11},
        StarCase{"ThreeSegmentsEndAtFirstCompletion", "a1b2a3c4b5c", "a*b*c", -1, 1, false, true, 1,
                 7},
        StarCase{"ThreeSegmentsTightened", "a1a2b3c", "a*b*c", -1, 1, false, true, 3, 7},
        // "ab" may not overlap the "b" after it: "abab" holds "ab...b" only
        // from position 1.
        StarCase{"SegmentsNeverOverlap", "abab", "ab*b", -1, 1, false, true, 1, 4},
        StarCase{"OrderMatters", "ba", "a*b", -1, 1, false, false, 0, 0},
        StarCase{"TextLenLimits", "abcdef", "d*f", 5, 1, false, false, 0, 0},
        StarCase{"StartPosSkips", "abcabc", "abc", -1, 2, false, true, 4, 6},
        StarCase{"TextLenLongerThanText", "abc", "c", 99, 1, false, true, 3, 3}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(MatchStarPatternTest, ReportsSegmentPositions) {
    int32_t first = 0;
    int32_t last = 0;
    TSubStrPosArray positions;
    ASSERT_TRUE(MatchStarPattern("((x)", "(*)", 4, 1, false, first, last, &positions));
    ASSERT_EQ(positions.size(), 2u);
    EXPECT_EQ(positions[0].Position, 2);
    EXPECT_EQ(positions[0].Length, 1);
    EXPECT_EQ(positions[1].Position, 4);
    EXPECT_EQ(positions[1].Length, 1);

    EXPECT_FALSE(MatchStarPattern("abc", "x*c", 3, 1, false, first, last, &positions));
    EXPECT_TRUE(positions.empty());
}

// Whatever the text and pattern, a reported match holds every segment in
// order inside FirstPos..LastPos, and a match is reported whenever one exists.
TEST(MatchStarPatternTest, MatchesAreSoundOnRandomTexts) {
    std::mt19937 rng(7);
    const std::string alphabet = "abAB";
    auto randomText = [&](int minLen, int maxLen, const std::string& chars) {
        std::string s(std::uniform_int_distribution<int>(minLen, maxLen)(rng), ' ');
        for (char& c : s) {
            c = chars[std::uniform_int_distribution<size_t>(0, chars.size() - 1)(rng)];
        }
        return s;
    };
    for (int round = 0; round < 20000; ++round) {
        const std::string text = randomText(0, 16, alphabet);
        const std::string pattern = randomText(1, 7, alphabet + "**");
        const bool caseSensitive = round % 2 == 0;
        SCOPED_TRACE("text '" + text + "' pattern '" + pattern + "'");
        int32_t first = 0;
        int32_t last = 0;
        TSubStrPosArray pos;
        const int32_t len = static_cast<int32_t>(text.size());
        const bool found =
            MatchStarPattern(text, pattern, len, 1, caseSensitive, first, last, &pos);

        // Greedy leftmost placement decides whether a match exists.
        std::vector<std::string> segments;
        std::string cur;
        for (char c : pattern + "*") {
            if (c == '*') {
                if (!cur.empty()) {
                    segments.push_back(cur);
                }
                cur.clear();
            } else {
                cur += c;
            }
        }
        bool exists = pattern == "*" ? len > 0 : !segments.empty() && len > 0;
        int32_t from = 1;
        for (const std::string& s : segments) {
            const int32_t at = SearchText(s, text, caseSensitive, from, true);
            if (at == 0) {
                exists = false;
                break;
            }
            from = at + static_cast<int32_t>(s.size());
        }
        ASSERT_EQ(found, exists);
        if (!found || pattern == "*") {
            continue;
        }
        ASSERT_EQ(pos.size(), segments.size());
        ASSERT_EQ(first, pos.front().Position);
        ASSERT_EQ(last, pos.back().Position + pos.back().Length - 1);
        int32_t end = 0;
        for (size_t i = 0; i < segments.size(); ++i) {
            ASSERT_GT(pos[i].Position, end) << "segment " << i << " overlaps";
            const std::string piece = text.substr(pos[i].Position - 1, pos[i].Length);
            ASSERT_EQ(SearchText(segments[i], piece, caseSensitive, 1, true), 1);
            end = pos[i].Position + pos[i].Length - 1;
        }
    }
}

TEST(Utf8PrefixTest, NeverSplitsACharacter) {
    EXPECT_EQ(Utf8Prefix("abc", 5), "abc");
    EXPECT_EQ(Utf8Prefix("abc", 2), "ab");
    EXPECT_EQ(Utf8Prefix("a\xC3\xA9", 2), "a");
    EXPECT_EQ(Utf8Prefix("a\xC3\xA9", 3), "a\xC3\xA9");
    EXPECT_EQ(Utf8Prefix("\xE2\x82\xAC\xE2\x82\xAC", 5), "\xE2\x82\xAC");
}

} // namespace
} // namespace linkvane
