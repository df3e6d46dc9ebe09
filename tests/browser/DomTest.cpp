#include "browser/Dom.h"
#include "support/Exception.h"

#include <gtest/gtest.h>

namespace linkvane {
namespace {

TNode Parse(const std::string& html, const std::string& url = "http://example.com/dir/page.html") {
    TDocumentOptions options;
    options.URL = url;
    return ParseHtmlDocument(html, options);
}

TEST(Dom, BuildsTheHtml5TreeWithUpperCaseTagsAndImpliedElements) {
    TNode doc = Parse("<table><tr><td>a<td>b</table><p>x<!--c-->y");
    TNode all = doc.All();
    std::vector<std::string> tags;
    for (int32_t i = 0; i < all.Length(); ++i) {
        tags.push_back(all.Item(i).TagName());
        EXPECT_EQ(all.Item(i).SourceIndex(), i);
    }
    EXPECT_EQ(tags, (std::vector<std::string>{"HTML", "HEAD", "BODY", "TABLE", "TBODY", "TR", "TD",
                                              "TD", "P"}));
    TNode p = doc.Tags("P").Item(0);
    TNode kids = p.ChildNodes();
    ASSERT_EQ(kids.Length(), 3);
    EXPECT_EQ(kids.Item(0).NodeName(), "#text");
    EXPECT_EQ(kids.Item(0).NodeValue(), "x");
    EXPECT_EQ(kids.Item(1).NodeName(), "#comment");
    EXPECT_EQ(p.Children().Length(), 0);
    EXPECT_EQ(doc.Body().TagName(), "BODY");
    EXPECT_EQ(doc.Body().ParentNode().ParentNode(), doc);
    EXPECT_FALSE(VarHasValue(doc.ParentNode()));
}

TEST(Dom, ResolvesHrefAndSrcAgainstTheBase) {
    TNode doc = Parse("<base href='/other/'><a href='x y.html'>1</a><a href=''>2</a><a>3</a>"
                      "<img src='//cdn.example.com/i.png'>");
    TNode links = doc.All().Tags("a");
    ASSERT_EQ(links.Length(), 3);
    EXPECT_EQ(links.Item(0).Href(), "http://example.com/other/x%20y.html");
    EXPECT_EQ(links.Item(0).GetAttribute("HREF"), "http://example.com/other/x%20y.html");
    EXPECT_EQ(links.Item(0).GetRawAttribute("href"), "x y.html");
    EXPECT_EQ(links.Item(1).Href(), "http://example.com/other/");
    EXPECT_EQ(links.Item(2).Href(), "");
    EXPECT_EQ(doc.Tags("IMG").Item(0).Src(), "http://cdn.example.com/i.png");
}

TEST(Dom, InnerTextAndSerialization) {
    TNode doc = Parse("<div id=d>  Hello   <b>big</b>\n world<br>next<p>para</p>"
                      "<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>"
                      "<script>x()</script><pre> keep  this </pre></div>");
    TNode div = doc.All().Tags("DIV").Item(0);
    EXPECT_EQ(div.InnerText(), "Hello big world\nnext\n\npara\n\na\tb\nc\n keep  this ");
    TNode b = doc.Tags("B").Item(0);
    EXPECT_EQ(b.OuterHTML(), "<b>big</b>");
    div.SetInnerHTML("<a href=x>1 &amp; 2</a>");
    EXPECT_EQ(div.InnerHTML(), "<a href=\"x\">1 &amp; 2</a>");
    EXPECT_EQ(doc.Tags("A").Length(), 1);
    EXPECT_EQ(doc.Tags("A").Item(0).InnerText(), "1 & 2");
}

TEST(Dom, CreateElementAndInsertBeforeAppend) {
    TNode doc = Parse("<p>x</p>");
    TNode all = doc.All();
    const int32_t before = all.Length();
    TNode div = doc.createElement("<DIV id=\"PatternContainer\">PatternStrings</DIV>");
    EXPECT_EQ(div.TagName(), "DIV");
    EXPECT_EQ(div.SourceIndex(), -1);
    doc.Body().InsertBefore(div);
    EXPECT_EQ(all.Length(), before + 1);
    EXPECT_EQ(div.SourceIndex(), before);
    EXPECT_EQ(div.InnerText(), "PatternStrings");
    EXPECT_EQ(div.GetAttribute("id"), "PatternContainer");
    EXPECT_THROW(div.InsertBefore(doc.Body()), Exception);
    EXPECT_THROW(div.Length(), Exception);
}

TEST(Dom, DeepNestingIsCappedAndWalkedWithoutRecursion) {
    std::string html;
    for (int i = 0; i < 100000; ++i)
        html += "<div>";
    html += "x";
    TNode doc = Parse(html);
    EXPECT_EQ(doc.All().Tags("DIV").Length(), 100000);
    EXPECT_EQ(doc.Body().InnerText(), "x");
    EXPECT_GT(doc.Body().OuterHTML().size(), 100000u * 5);
}

} // namespace
} // namespace linkvane
