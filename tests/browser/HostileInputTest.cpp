// Hostile pages: every input gives a document whose text and HTML can be
// read, without a crash, a stack overflow or a long stall.
#include "browser/Dom.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace linkvane {
namespace {

std::string Repeat(const std::string& s, int n) {
    std::string out;
    out.reserve(s.size() * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

std::string RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng() & 0xFF);
    return s;
}

/// Garbage built mostly from HTML's own punctuation and tag names.
std::string TagSoup(size_t n, uint32_t seed) {
    static const char* pieces[] = {
        "<",       ">",          "</",        "/>",       "<div", "<table", "<td",
        "<a href", "=",          "\"",        "'",        "<!--", "-->",    "<svg",
        "<math",   "<b>",        "<i>",       "</p>",     "&amp", "&#",     "<tr>",
        "<select", "<template>", "<frameset", "<script>", "\0",   " ",      "x"};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n)
        s += pieces[rng() % std::size(pieces)];
    return s;
}

struct THostileCase {
    const char* Name;
    std::function<std::string()> Make;
    const char* HttpCharset;
};

class HostileInputTest : public ::testing::TestWithParam<THostileCase> {};

TEST_P(HostileInputTest, GivesAReadableDocument) {
    const THostileCase& c = GetParam();
    const std::string bytes = c.Make();
    TDocumentOptions options;
    options.URL = "http://example.com/";
    options.HttpCharset = c.HttpCharset;
    TNode doc = ParseHtmlDocument(bytes, options);
    ASSERT_TRUE(doc.IsDocument());
    TNode all = doc.All();
    EXPECT_GE(all.Length(), 1);
    const std::string html = doc.OuterHTML();
    const std::string text = doc.DocumentElement().InnerText();
    TNode links = doc.Tags("A");
    for (int32_t i = 0; i < links.Length() && i < 1000; ++i)
        (void)links.Item(i).Href();
    // What the document serializes to parses again.
    TNode again = ParseHtmlDocument(html, options);
    EXPECT_TRUE(again.IsDocument());
    // The last element's ancestors can be walked to the top.
    TNode last = all.Item(all.Length() - 1);
    int depth = 0;
    for (TNode n = last; VarHasValue(n); n = n.ParentNode())
        ++depth;
    EXPECT_LE(depth, MaxTreeDepth + 8);
}

const THostileCase kHostileCases[] = {
    {"RandomBytes", [] { return RandomBytes(1 << 20, 1); }, ""},
    {"TagSoup", [] { return TagSoup(1 << 20, 2); }, ""},
    {"NulBytes",
     [] { return std::string("<p a\0b='c\0d'>x\0y</p\0><\0div>", 26) + std::string(1000, '\0'); },
     ""},
    {"UnknownCharsetLabel", [] { return std::string("<meta charset=klingon><p>\xE9\xFF</p>"); },
     "x-klingon"},
    {"Utf16BomOddLength", [] { return std::string("\xFF\xFE<\0p\0>\0x", 9); }, ""},
    {"TruncatedShiftJis", [] { return std::string("<p>\x93\xFA\x96"); }, "shift_jis"},
    {"TruncatedGb18030", [] { return std::string("<p>\x81\x30\x81"); }, "gb18030"},
    {"NestedDivs", [] { return Repeat("<div>", 100000) + "x"; }, ""},
    {"NestedTables", [] { return Repeat("<table><tr><td>", 30000); }, ""},
    {"UnclosedFormatting", [] { return Repeat("<b><i><u>", 30000) + Repeat("</p>", 100); }, ""},
    {"MisnestedFormatting", [] { return Repeat("<a href=x><b><p></a></b>", 20000); }, ""},
    {"DistinctFormattingElements",
     [] {
         std::string s;
         for (int i = 0; i < 20000; ++i)
             s += "<b id=" + std::to_string(i) + ">";
         return s + "<p>x";
     },
     ""},
    {"NestedSvg", [] { return Repeat("<svg><g>", 50000); }, ""},
    {"NestedListItems", [] { return Repeat("<ul><li>", 50000); }, ""},
    {"NestedSelects", [] { return Repeat("<select><option>", 50000); }, ""},
    {"NestedTemplates", [] { return Repeat("<template>", 50000); }, ""},
    {"ManyAttributes",
     [] {
         std::string s = "<div";
         for (int i = 0; i < 100000; ++i)
             s += " a" + std::to_string(i % 50000) + "=v";
         return s + ">x</div>";
     },
     ""},
    {"UnclosedComment", [] { return "<p>a<!--" + std::string(1 << 20, '-'); }, ""},
    {"UnclosedScript", [] { return "<script>" + Repeat("<div>", 100000); }, ""},
    {"HugeEntityRuns", [] { return Repeat("&#x1F600;&#0;&#xD800;&amp", 50000); }, ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, HostileInputTest, ::testing::ValuesIn(kHostileCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(HostileInput, DeepNestingKeepsEveryElementButCapsTheDepth) {
    TDocumentOptions options;
    options.URL = "http://example.com/";
    TNode doc = ParseHtmlDocument(Repeat("<div>", 100000) + "<a href=deep>deep</a>", options);
    EXPECT_EQ(doc.Tags("DIV").Length(), 100000);
    TNode a = doc.Tags("A").Item(0);
    EXPECT_EQ(a.Href(), "http://example.com/deep");
    int depth = 0;
    for (TNode n = a; VarHasValue(n); n = n.ParentNode())
        ++depth;
    EXPECT_LE(depth, MaxTreeDepth + 2);
    // Shallow pages are untouched.
    TNode shallow = ParseHtmlDocument(Repeat("<div>", 100) + "<a>x</a>", options);
    EXPECT_EQ(shallow.Tags("A").Item(0).ParentNode().ParentNode().TagName(), "DIV");
    EXPECT_EQ(shallow.Tags("DIV").Item(99).Children().Item(0).TagName(), "A");
}

TEST(HostileInput, FiftyMegabytePage) {
    const std::string row = "<p>" + std::string(900, 'w') + " <a href='/x'>link</a></p>\n";
    const std::string page = Repeat(row, 50 * 1024 * 1024 / static_cast<int>(row.size()));
    ASSERT_GE(page.size(), 49u * 1024 * 1024);
    TNode doc = ParseHtmlDocument(page);
    TNode links = doc.Tags("A");
    EXPECT_EQ(links.Length(), static_cast<int32_t>(page.size() / row.size()));
    EXPECT_EQ(links.Item(links.Length() - 1).InnerText(), "link");
}

} // namespace
} // namespace linkvane
