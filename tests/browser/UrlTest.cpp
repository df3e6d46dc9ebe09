#include "browser/BrowserUrl.h"

#include <gtest/gtest.h>

namespace linkvane {
namespace {

struct TResolveCase {
    const char* Name;
    const char* Base;
    const char* Reference;
    const char* Expected;
};

class ResolveUrlTest : public ::testing::TestWithParam<TResolveCase> {};

TEST_P(ResolveUrlTest, WritesTheAddressAsBrowsersDo) {
    const TResolveCase& c = GetParam();
    EXPECT_EQ(ResolveURL(c.Base, c.Reference), c.Expected);
}

const char* const kBase = "http://Example.COM:80/dir/page.html?x=1#f";

const TResolveCase kResolveCases[] = {
    {"BlankInPath", kBase, "a b.html", "http://example.com/dir/a%20b.html"},
    {"QuoteInQuery", kBase, "/p?q='x'", "http://example.com/p?q=%27x%27"},
    {"EscapesKeepTheirCase", kBase, "%7e%2fa?a=%7e", "http://example.com/dir/%7e%2fa?a=%7e"},
    {"EmptyPathIsSlash", kBase, "http://h", "http://h/"},
    {"DefaultPortDropped", kBase, "HTTP://H:80", "http://h/"},
    {"HttpsDefaultPortDropped", kBase, "https://h:443/x", "https://h/x"},
    {"OtherPortKept", kBase, "http://h:8080", "http://h:8080/"},
    {"DotDotStopsAtRoot", kBase, "../../../up", "http://example.com/up"},
    {"DotSegments", kBase, "http://h/a/./b/../c", "http://h/a/c"},
    {"TrailingDotDot", kBase, "/a/b/..", "http://example.com/a/"},
    {"SingleDot", kBase, ".", "http://example.com/dir/"},
    {"OnlyQuery", kBase, "?only", "http://example.com/dir/page.html?only"},
    {"OnlyFragment", kBase, "#frag", "http://example.com/dir/page.html?x=1#frag"},
    {"EmptyIsTheBaseWithoutFragment", kBase, "", "http://example.com/dir/page.html?x=1"},
    {"TabsAndBreaksRemoved", kBase, " \t/tab\n bed \r\n ", "http://example.com/tab%20bed"},
    {"SchemeRelative", kBase, "//other/x", "http://other/x"},
    {"WhatwgEscapeSets", kBase, "a{b}|c^d`e?q={}|^`#h{}`",
     "http://example.com/dir/a%7Bb%7D|c%5Ed%60e?q={}|^`#h{}%60"},
    {"NonAsciiAsUtf8", kBase, "caf\xC3\xA9?q=\xC3\xA9",
     "http://example.com/dir/caf%C3%A9?q=%C3%A9"},
    {"InternationalHostAsPunycode", kBase,
     "http://b\xC3\xBC"
     "cher.de/",
     "http://xn--bcher-kva.de/"},
    {"BackslashIsSlashOutsideTheQuery", kBase, "a\\b\\c?x\\y", "http://example.com/dir/a/b/c?x\\y"},
    {"JavascriptKeptAsWritten", kBase, "javascript:alert('a b')", "javascript:alert('a b')"},
    {"MailtoKeptAsWritten", kBase, "mailto:x y@z", "mailto:x y@z"},
    {"SchemeLowerCased", kBase, "JavaScript:void(0)", "javascript:void(0)"},
    {"DataKeptAsWritten", kBase, "data:text/html,<b>", "data:text/html,<b>"},
    {"QuotesAndBlanksInQuery", kBase, "p?a=b c&d=\"e\"",
     "http://example.com/dir/p?a=b%20c&d=%22e%22"},
    {"Ipv6Host", kBase, "http://[::1]:8080/x", "http://[::1]:8080/x"},
    {"UserInfo", kBase, "https://user:pw@h/", "https://user:pw@h/"},
    {"SameSchemeWithoutSlashesIsRelative", kBase, "http:page2.html",
     "http://example.com/dir/page2.html"},
    {"FileAddress", kBase, "file:///tmp/a b", "file:///tmp/a%20b"},
    {"FileBase", "file:///home/u/p.html", "x.html?q='a'", "file:///home/u/x.html?q=%27a%27"},
    {"MissingHostAsWritten", kBase, "http://", "http://"},
    {"BadPortAsWritten", kBase, "http://h:99999/", "http://h:99999/"},
    {"OpaqueBaseTakesOnlyFragments", "about:blank", "#f", "about:blank#f"},
    {"OpaqueBaseRelativeAsWritten", "about:blank", "x.html", "x.html"},
    {"NoBaseRelativeAsWritten", "", " x.html ", "x.html"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ResolveUrlTest, ::testing::ValuesIn(kResolveCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(BrowserUrl, NormalizeAndUserInput) {
    EXPECT_EQ(NormalizeURL(" http://Example.com "), "http://example.com/");
    EXPECT_EQ(NormalizeURL("page.html"), "page.html");
    EXPECT_EQ(UrlFromUserInput(QStringLiteral("www.example.com/p")).toString(),
              QStringLiteral("http://www.example.com/p"));
    EXPECT_EQ(UrlFromUserInput(QStringLiteral("localhost:8080/x")).toString(),
              QStringLiteral("http://localhost:8080/x"));
    EXPECT_EQ(UrlFromUserInput(QStringLiteral("/tmp/f.html")).toString(),
              QStringLiteral("file:///tmp/f.html"));
    EXPECT_EQ(UrlFromUserInput(QStringLiteral("  ")).toString(), QStringLiteral("about:blank"));
    EXPECT_EQ(UrlFromUserInput(QStringLiteral("about:Blank")).toString(),
              QStringLiteral("about:Blank"));
}

} // namespace
} // namespace linkvane
