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

namespace linkvane {
namespace {

struct TTextCase {
    const char* Name;
    const char* Html;
    const char* Text;
};

class InnerTextTest : public ::testing::TestWithParam<TTextCase> {};

TEST_P(InnerTextTest, RendersTextAsABrowserWithoutStyleSheets) {
    EXPECT_EQ(Parse(GetParam().Html).Body().InnerText(), GetParam().Text);
}

const TTextCase kTextCases[] = {
    {"ParagraphsTwoBreaks", "<p>a</p><p>b</p>", "a\n\nb"},
    {"LineBreak", "a<br>b", "a\nb"},
    {"BlocksTrimmed", "<div>  a  </div>  <div> b </div>", "a\nb"},
    {"InlineBlanksCollapse", "x <span> y </span>\n\t z", "x y z"},
    {"ListItems", "<ul><li>one</li><li>two</li></ul>", "one\ntwo"},
    {"TableCellsAndRows", "<table><tr><td>a</td><td>b</td></tr><tr><td>c<td>d</table>",
     "a\tb\nc\td"},
    {"PreKeepsBlanks", "<pre>\n a\n  b </pre>", " a\n  b "},
    {"TextareaKeepsBlanks", "x<textarea> t  x </textarea>", "x t  x "},
    {"HiddenContentLeftOut", "a<script>s</script><style>c</style><template>t</template>b", "ab"},
    {"HiddenAttribute", "<p hidden>h</p>v", "v"},
    {"NoBreakSpacesKept", "a&nbsp;&nbsp;b",
     "a\xC2\xA0\xC2\xA0"
     "b"},
    {"LeadingBreaksKept", "<br><br>a", "\n\na"},
    {"HeadingIsABlock", "<h1>H</h1>text", "H\ntext"},
    {"Options", "<select><option>a<option>b</select>", "a\nb"},
    {"NestedBlocks", "<div>a<div>b</div>c</div>", "a\nb\nc"},
    {"BlankBeforeBreakGoes", "a <br> b", "a\nb"},
    {"EntitiesDecoded", "&lt;&amp;&gt;&quot;", "<&>\""},
};

INSTANTIATE_TEST_SUITE_P(Cases, InnerTextTest, ::testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(Dom, HeadAndTitleAreNotText) {
    TNode doc = Parse("<head><title>T</title></head><body>x</body>");
    EXPECT_EQ(doc.DocumentElement().InnerText(), "x");
    EXPECT_EQ(doc.Title(), "T");
    EXPECT_EQ(doc.Tags("TITLE").Item(0).InnerText(), "T"); // not rendered: its text
    EXPECT_EQ(doc.Body().OuterText(), "x");
}

TEST(Dom, CollectionsAreLive) {
    TNode doc = Parse("<div id=a><p>1</p></div>");
    TNode div = doc.Tags("DIV").Item(0);
    TNode ps = doc.All().Tags("P");
    TNode kids = div.Children();
    TNode below = div.All();
    EXPECT_EQ(ps.Length(), 1);
    div.InsertBefore(doc.createElement("<p>0</p>"), div.FirstChild());
    EXPECT_EQ(ps.Length(), 2);
    EXPECT_EQ(ps.Item(0).InnerText(), "0");
    EXPECT_EQ(kids.Length(), 2);
    EXPECT_EQ(below.Length(), 2);
    div.SetInnerHTML("<span>s</span>");
    EXPECT_EQ(ps.Length(), 0);
    EXPECT_EQ(kids.Item(0).TagName(), "SPAN");
    EXPECT_FALSE(VarHasValue(kids.Item(1)));
    EXPECT_FALSE(VarHasValue(kids.Item(-1)));
    TNode span = kids.Item(0);
    span.RemoveNode();
    EXPECT_EQ(kids.Length(), 0);
    EXPECT_EQ(span.SourceIndex(), -1);
    EXPECT_EQ(div.ChildNodes().Length(), 0);
}

TEST(Dom, SiblingsParentsAndIdentity) {
    TNode doc = Parse("<p>a<b>b</b>c</p>");
    TNode b = doc.Tags("B").Item(0);
    EXPECT_EQ(b.PreviousSibling().NodeValue(), "a");
    EXPECT_EQ(b.NextSibling().NodeName(), "#text");
    EXPECT_FALSE(VarHasValue(b.NextSibling().NextSibling()));
    EXPECT_EQ(b.ParentNode(), doc.Tags("P").Item(0));
    EXPECT_EQ(b.ParentNode().ParentElement(), doc.Body());
    EXPECT_FALSE(VarHasValue(doc.DocumentElement().ParentElement()));
    EXPECT_TRUE(doc.DocumentElement().ParentNode().IsDocument());
    EXPECT_EQ(b.uniqueID(), doc.Tags("B").Item(0).uniqueID());
    EXPECT_NE(b.uniqueID(), b.ParentNode().uniqueID());
    EXPECT_EQ(b.FirstChild().TagName(), "#text");
    EXPECT_EQ(b.FirstChild().InnerText(), "b");
    EXPECT_EQ(b.FirstChild().SourceIndex(), -1);
}

TEST(Dom, MembersAKindDoesNotHaveRaiseErrors) {
    TNode doc = Parse("<p>x</p>");
    TNode p = doc.Tags("P").Item(0);
    try {
        (void)p.Length();
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "'Length' is not a member of an element");
    }
    EXPECT_THROW((void)p.Body(), Exception);
    EXPECT_THROW((void)TNode().TagName(), Exception);
    EXPECT_THROW((void)doc.All().TagName(), Exception);
    EXPECT_THROW((void)TNode::Number(0).All(), Exception);
    EXPECT_EQ(TNode::Number(0).NumberValue(), 0);
    EXPECT_TRUE(VarHasValue(TNode::Number(0)));
    EXPECT_FALSE(VarHasValue(TNode()));
    EXPECT_THROW(p.FirstChild().SetInnerHTML("x"), Exception);
    EXPECT_THROW((void)doc.createElement("<!-- no element -->"), Exception);
    EXPECT_THROW((void)doc.createElement("a b"), Exception);
}

TEST(Dom, ValuesOfFormControlsAndParams) {
    TNode doc = Parse("<input name=i value='v 1'><textarea name=t> a\nb</textarea>"
                      "<select name=s><option value=1>one<option selected>  two  </select>"
                      "<select><option>first</select><param name=movie value=m.swf>");
    EXPECT_EQ(doc.Tags("INPUT").Item(0).Value(), "v 1");
    EXPECT_EQ(doc.Tags("INPUT").Item(0).Name(), "i");
    EXPECT_EQ(doc.Tags("TEXTAREA").Item(0).Value(), " a\nb");
    EXPECT_EQ(doc.Tags("SELECT").Item(0).Value(), "two");
    EXPECT_EQ(doc.Tags("SELECT").Item(1).Value(), "first");
    EXPECT_EQ(doc.Tags("OPTION").Item(0).Value(), "1");
    EXPECT_EQ(doc.Tags("PARAM").Item(0).Value(), "m.swf");
}

TEST(Dom, InnerHtmlIsParsedInTheElementsContext) {
    TNode doc = Parse("<table><tbody></tbody></table><div></div>");
    TNode tbody = doc.Tags("TBODY").Item(0);
    tbody.SetInnerHTML("<tr><td>a</td></tr>");
    EXPECT_EQ(tbody.Children().Item(0).TagName(), "TR");
    TNode div = doc.Tags("DIV").Item(0);
    div.SetInnerHTML("<tr><td>a</td></tr>"); // table parts outside a table are dropped
    EXPECT_EQ(div.InnerHTML(), "a");
    div.SetInnerHTML("Price: 10<br>x");
    EXPECT_EQ(div.OuterHTML(), "<div>Price: 10<br>x</div>");
}

TEST(Dom, SerializationEscapesAndKeepsRawText) {
    TNode doc = Parse("<p title='a\"b&amp;c'>1 &lt; 2 &amp;&nbsp;3</p><script>if (a < b) x();"
                      "</script><!--note--><img src=x alt=y>");
    EXPECT_EQ(doc.Tags("P").Item(0).OuterHTML(),
              "<p title=\"a&quot;b&amp;c\">1 &lt; 2 &amp;&nbsp;3</p>");
    EXPECT_EQ(doc.Tags("SCRIPT").Item(0).InnerHTML(), "if (a < b) x();");
    EXPECT_EQ(doc.Tags("IMG").Item(0).OuterHTML(), "<img src=\"x\" alt=\"y\">");
    EXPECT_NE(doc.Body().InnerHTML().find("<!--note-->"), std::string::npos);
}

TEST(Dom, TemplateContentIsNotPartOfTheTree) {
    TNode doc = Parse("<template><a href=x>t</a></template><a href=y>y</a>");
    EXPECT_EQ(doc.Tags("A").Length(), 1);
    EXPECT_EQ(doc.Tags("TEMPLATE").Item(0).ChildNodes().Length(), 0);
}

TEST(Dom, DocumentFacts) {
    TNode doc = Parse("<meta charset=windows-1251><base href='http://other.example/b/'>"
                      "<title> A  title </title><embed src=e.swf><iframe src=f></iframe>");
    EXPECT_EQ(doc.URL(), "http://example.com/dir/page.html");
    EXPECT_EQ(doc.BaseURL(), "http://other.example/b/");
    EXPECT_EQ(doc.Charset(), "WINDOWS-1251");
    EXPECT_EQ(doc.Title(), "A title");
    EXPECT_EQ(doc.Embeds().Length(), 1);
    EXPECT_EQ(doc.Embeds().Item(0).Src(), "http://other.example/b/e.swf");
    EXPECT_EQ(doc.Frames().Length(), 1);
    EXPECT_FALSE(VarHasValue(doc.Frames().Item(0)));
    TNode frameDoc = Parse("<p>in frame</p>", "http://other.example/b/f");
    doc.Tags("IFRAME").Item(0).SetContentDocument(frameDoc);
    EXPECT_EQ(doc.Frames().Item(0), frameDoc);
    EXPECT_EQ(DetectHtmlCharset("<p>\xE9</p>"), "WINDOWS-1252");
    EXPECT_EQ(DetectHtmlCharset("<p>x</p>", "Shift_JIS"), "SHIFT_JIS");
}

TEST(Dom, MakeCollectionHoldsGivenNodes) {
    TNode doc = Parse("<p>1</p><b>2</b>");
    TNode fixed = TNode::MakeCollection({doc.Tags("P").Item(0), TNode(), doc.Tags("B").Item(0)});
    EXPECT_EQ(fixed.Length(), 2);
    EXPECT_EQ(fixed.Item(1).TagName(), "B");
    EXPECT_EQ(fixed.Tags("p").Length(), 1);
}

/// Records clicks instead of acting on them.
class TRecordingOwner final : public TDocumentOwner {
public:
    void ClickElement(const TNode& Element) override { Clicked.push_back(Element); }
    std::vector<TNode> Clicked;
};

TEST(Dom, ClicksGoToTheDocumentsEngine) {
    TNode doc = Parse("<a href=x>x</a>");
    TNode a = doc.Tags("A").Item(0);
    a.Click(); // no engine: nothing happens
    auto owner = std::make_shared<TRecordingOwner>();
    doc.SetOwner(owner);
    a.Click();
    ASSERT_EQ(owner->Clicked.size(), 1u);
    EXPECT_EQ(owner->Clicked[0], a);
    owner.reset();
    a.Click(); // the engine is gone: nothing happens
    EXPECT_THROW(doc.Click(), Exception);
}

TEST(Dom, SnapshotsKeepAnExternalIdPerElement) {
    TDocumentOptions options;
    options.URL = "http://example.com/";
    options.ForceUtf8 = true;
    options.ExternalIdAttribute = "data-lv";
    TNode doc = ParseHtmlDocument("<meta charset=gbk><p data-lv=7>\xC3\xA9</p><b>x</b>", options);
    TNode p = doc.Tags("P").Item(0);
    EXPECT_EQ(p.ExternalId(), 7);
    EXPECT_FALSE(p.HasAttribute("data-lv"));
    EXPECT_EQ(p.OuterHTML(), "<p>\xC3\xA9</p>");
    EXPECT_EQ(doc.Tags("B").Item(0).ExternalId(), -1);
    EXPECT_EQ(doc.Charset(), "UTF-8");
}

} // namespace
} // namespace linkvane
