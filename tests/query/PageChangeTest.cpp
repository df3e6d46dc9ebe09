// Queries that change or leave the page, reach into frames, write the error
// log or walk huge trees: PATTERNSTRINGS, frames, ClickNode, the guarded
// places and deep documents.
#include "QueryTestUtil.h"

#include "browser/PageWaitSettings.h"
#include "support/Exception.h"
#include "support/LogFile.h"
#include "testlib/TestHttpServer.h"
#include "testlib/TestUtil.h"

#include <QFile>
#include <QUrl>

#include <gtest/gtest.h>

#include <ctime>

namespace linkvane {
namespace {

using test::Describe;
using test::DescribePositions;

std::string FileUrl(const std::string& FileName) {
    return QUrl::fromLocalFile(QString::fromStdString(FileName)).toString().toStdString();
}

int CountContainers(const TNode& Document) {
    int count = 0;
    const TNode children = Document.Body().Children();
    for (int32_t i = 0; i < children.Length(); ++i)
        if (children.Item(i).GetRawAttribute("id") == "PatternContainer")
            ++count;
    return count;
}

class PatternStringsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::LoadHtml(browser,
                       "<body><table><tr><td id=price>Price: 12 EUR<br>tax</td></tr>"
                       "</table><p id=crlf>a&#13;\nb</p><p id=lf>a\nb</p><p id=xx>x1 x2</p>"
                       "</body>");
        engine.SetMainWB(&browser);
    }
    TNode Node(const std::string& Id) { return test::ById(browser.Document(), Id); }

    TStaticWebBrowser browser;
    TCoreDataExtractor engine;
};

TEST_F(PatternStringsTest, MatchBecomesElementInContainer) {
    const TNode item = engine.GetRelativeNode(Node("price"), "PATTERNSTRINGS('Price:*<')");
    ASSERT_TRUE(item.IsElement());
    EXPECT_EQ(item.TagName(), "DIV");
    EXPECT_EQ(item.InnerText(), "Price: 12 EUR<");
    const TNode container = engine.PatternContainer();
    EXPECT_EQ(container.OuterHTML(),
              "<div id=\"PatternContainer\">PatternStrings" + item.OuterHTML() + "</div>");
    EXPECT_EQ(browser.Document().Body().LastChild(), container);
    EXPECT_EQ(item.ParentNode(), container);

    // A second evaluation adds a second container; the member holds the newest.
    const TNode again = engine.GetRelativeNode(Node("price"), "PATTERNSTRINGS('Price:*<')");
    EXPECT_EQ(CountContainers(browser.Document()), 2);
    EXPECT_NE(engine.PatternContainer(), container);
    EXPECT_EQ(again.ParentNode(), engine.PatternContainer());
    EXPECT_EQ(container.ParentNode(), browser.Document().Body());
}

TEST_F(PatternStringsTest, NoMatchLeavesEmptyContainer) {
    EXPECT_EQ(Describe(engine.GetRelativeNode(Node("price"), "PATTERNSTRINGS('Cost:*<')")), "-");
    EXPECT_EQ(CountContainers(browser.Document()), 1);
    EXPECT_EQ(engine.PatternContainer().InnerHTML(), "PatternStrings");
}

TEST_F(PatternStringsTest, LineBreakCodesAndIndex) {
    for (const char* path : {"PATTERNSTRINGS('a$D$Ab')", "PATTERNSTRINGS('a$d$aB')"}) {
        const TNode item = engine.GetRelativeNode(Node("crlf"), path);
        ASSERT_TRUE(item.IsElement()) << path;
        // The piece held CR LF; made into HTML, the line break reads LF.
        EXPECT_EQ(item.InnerHTML(), "a\nb") << path;
        // A bare LF is not a CR LF.
        EXPECT_EQ(Describe(engine.GetRelativeNode(Node("lf"), path)), "-");
    }
    // Only the first match is answered, whatever the index.
    const TNode first = engine.GetRelativeNode(Node("xx"), "PATTERNSTRINGS('x*2')[2]");
    EXPECT_EQ(first.InnerHTML(), "x2");
}

TEST_F(PatternStringsTest, FollowingStepsSeeThePiece) {
    EXPECT_EQ(Describe(engine.GetRelativeNode(Node("price"), "PATTERNSTRINGS('Price*<br>').BR[1]")),
              "BR");
    std::vector<int32_t> positions;
    const TNode collection =
        engine.GetNodeCollection("TD[1#].PATTERNSTRINGS('Price:*<')", positions);
    EXPECT_EQ(DescribePositions(collection, positions), "0=DIV");
}

class FrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new test::TempDir;
        dir->Write("top.html", "<body id=top><iframe id=f1 src=f1.html></iframe>"
                               "<table><tr><td><iframe src=f2.html></iframe></td></tr></table>");
        dir->Write("f1.html", "<body id=f1body><a id=fa1 href=x.html>frame one</a>");
        dir->Write("f2.html", "<body id=f2body><table id=ft><tr><td><a id=fa2 href=y.pdf>"
                              "frame two</a></td></tr></table><object id=fo>"
                              "<param name=movie value=f.swf></object>");
        browser = new TStaticWebBrowser;
        test::LoadFile(*browser, dir->File("top.html"));
    }
    static void TearDownTestSuite() {
        delete browser;
        delete dir;
    }
    void SetUp() override { engine.SetMainWB(browser); }

    std::string Collection(const std::string& Path) {
        std::vector<int32_t> positions;
        const TNode c = engine.GetNodeCollection(Path, positions);
        return DescribePositions(c, positions);
    }

    static test::TempDir* dir;
    static TStaticWebBrowser* browser;
    TCoreDataExtractor engine;
};

test::TempDir* FrameTest::dir = nullptr;
TStaticWebBrowser* FrameTest::browser = nullptr;

TEST_F(FrameTest, FrameDocuments) {
    EXPECT_EQ(Describe(engine.GetNodeByPath("FRAME[2].BODY")), "f2body");
    EXPECT_EQ(Describe(engine.GetNodeByPath("IFRAME[2].BODY")), "f2body");
    EXPECT_EQ(Describe(engine.GetNodeByPath("IFRAME[1]")), "#document:f1.html");
    EXPECT_EQ(Describe(engine.GetNodeByPath("FRAME[3].BODY")), "-");
    // After the first step a frame step needs a document.
    EXPECT_EQ(Describe(engine.GetNodeByPath("TABLE[1#].IFRAME[1]")), "-");
    EXPECT_EQ(Describe(engine.GetNodeByPath("FRAME[2].A(PosText('two')>0)[1#]")), "fa2");
}

TEST_F(FrameTest, CollectionsInFrames) {
    EXPECT_EQ(Collection("IFRAME[2].A"), "0=fa2");
    EXPECT_EQ(Collection("FRAME[2].LINKS('*.pdf')"), "0=fa2");
    EXPECT_EQ(Collection("FRAME[1].LINKS('*.pdf')"), "");
    // The parameters of an OBJECT are read from its own (the frame's) document.
    EXPECT_EQ(Collection("FRAME[2].OBJECTS('*.swf')"), "0=fo");
    const TNode fa2 = engine.GetNodeByPath("FRAME[2].BODY.A[1#]");
    EXPECT_EQ(Describe(engine.GetRelativeNode(fa2, "PARENTNODE('TABLE')")), "ft");
}

/// Reads today's log lines written during the test.
class LogCapture {
public:
    LogCapture() { SetLogDir(m_dir.Path()); }
    ~LogCapture() { SetLogDir(""); }
    std::string Text() const {
        const std::string name = LogFileName(std::time(nullptr));
        return QFile::exists(QString::fromStdString(name)) ? test::ReadFileBytes(name) : "";
    }

private:
    test::TempDir m_dir;
};

TEST(GuardedTest, ErrorsAreLoggedAndAnswerNothing) {
    TStaticWebBrowser browser;
    test::LoadHtml(browser, "<body><p id=p><a href=a.html>a</a> text</p>");
    TCoreDataExtractor engine;
    engine.SetMainWB(&browser);
    LogCapture log;
    const TNode p = test::ById(browser.Document(), "p");
    EXPECT_EQ(Describe(engine.GetRelativeNode(p, "LINKS('*').TEXTNODE")), "-");
    EXPECT_EQ(Describe(engine.GetRelativeNode(p, "LINKS('*').A")), "-");
    EXPECT_EQ(Describe(engine.GetRelativeNode(p, "A(URLMask('[')>0)[1#]")), "-");
    // Outside the guarded places the document model's error leaves the query.
    EXPECT_THROW(engine.GetRelativeNode(p, "LINKS('*').A(PosText('a')>0)[1#]"), Exception);

    const std::string text = log.Text();
    for (const char* expected :
         {"Error!!   'ChildNodes' is not a member of a collectionin GetPathNodeVariant,ntText\r\n",
          "Error!!   'All' is not a member of a collectionin GetPathNodeVariant, Child TagName is "
          "A\r\n",
          "Error!!   '[' is an invalid mask at (2)in GetPathNodeVariant,Has SelectCondition, "
          "TagName is A\r\n"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\nin:\n" << text;
}

class ClickTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = PageWaitSettings();
        SetPageWaitSettings(0, 0, 30);
        dir.Write("page1.html",
                  "<title>One</title><a href=page0.html>Previous</a> <a id=next "
                  "href=page2.html>Next page</a> <a href=page3.html>Skip to the next</a>"
                  "<form action=result.html method=get><input name=q value='x y'>"
                  "<input type=submit id=go value=Go></form>");
        dir.Write("page2.html", "<title>Two</title>");
        dir.Write("result.html", "<title>Result</title>");
        test::LoadFile(main, dir.File("page1.html"));
        engine.SetMainWB(&main);
    }
    void TearDown() override {
        SetPageWaitSettings(m_saved.MinRepeatTimes, m_saved.MinWaitSeconds, m_saved.MaxWaitSeconds);
    }

    test::TempDir dir;
    test::TFastClock clock;
    TStaticWebBrowser main;
    TCoreDataExtractor engine;

private:
    TPageWaitSettings m_saved;
};

TEST_F(ClickTest, FollowsLinkByKeyword) {
    EXPECT_EQ(engine.ClickNode(".A(PosText('next')<10)[1#]"), 1);
    EXPECT_EQ(main.LocationURL().toStdString(), FileUrl(dir.File("page2.html")));
    EXPECT_EQ(main.Document().Title(), "Two");
    EXPECT_EQ(engine.CurrentDocument().Title(), "One"); // taken at the query's start
    EXPECT_EQ(engine.ActiveWB(), &main);
}

TEST_F(ClickTest, SubmitsForm) {
    EXPECT_EQ(engine.ClickNode("FORM[1#].INPUT[2]"), 1);
    EXPECT_EQ(main.LocationURL().toStdString(), FileUrl(dir.File("result.html")) + "?q=x+y");
    EXPECT_EQ(main.Document().Title(), "Result");
}

TEST_F(ClickTest, NothingToClick) {
    EXPECT_EQ(engine.ClickNode("A(PosText('nowhere')>0)[1#]"), -1);
    EXPECT_EQ(engine.ClickNode("FORM[2#]"), -1);
    EXPECT_EQ(main.Document().Title(), "One");
}

TEST_F(ClickTest, EmptyPathClicksBody) {
    EXPECT_EQ(engine.ClickNode(""), 1);
    EXPECT_EQ(main.Document().Title(), "One");
}

TEST_F(ClickTest, ClickErrorIsLoggedAsZero) {
    LogCapture log;
    EXPECT_EQ(engine.ClickNode("A"), 0); // a collection cannot be clicked
    EXPECT_NE(log.Text().find("'Click' is not a member of a collection in ClickNode \r\n"),
              std::string::npos)
        << log.Text();
}

TEST_F(ClickTest, OtherBrowserAndActiveWBRestored) {
    TStaticWebBrowser other;
    test::LoadFile(other, dir.File("page1.html"));
    EXPECT_EQ(engine.ClickNode("A[2#]", &other), 1);
    EXPECT_EQ(other.Document().Title(), "Two");
    EXPECT_EQ(main.Document().Title(), "One");
    EXPECT_EQ(engine.ActiveWB(), &main);
    EXPECT_EQ(engine.MainWB(), &main);

    EXPECT_EQ(engine.ClickNode("A(PosText('nowhere')>0)[1#]", &other), -1);
    EXPECT_EQ(engine.ActiveWB(), &main);
    try {
        engine.ClickNode("A[x]", &other);
        FAIL() << "no parse error";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "NodePath express is invalid in 'A[x]'");
    }
    EXPECT_EQ(engine.ActiveWB(), &main);
    EXPECT_THROW(engine.ClickNode("SOURCE.PARENTNODE", &other), Exception);
    EXPECT_EQ(engine.ActiveWB(), &main);
}

TEST_F(ClickTest, PostsFormOverHttp) {
    test::TestHttpServer server;
    server.Page("/form", "<title>Form</title><form method=post action=/search>"
                         "<input name=q value='a&b'><button id=go>Search</button></form>"
                         "<a href=/slow>slow</a>");
    server.Server().Post("/search", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<title>Found</title><a href=/r1>r1</a>", "text/html");
    });
    server.NeverEnding("/slow", "<title>Slow</title><a href=/x>x</a>");
    server.Start();
    test::LoadUrl(main, server.Url("/form"));
    ASSERT_EQ(main.Document().Title(), "Form");

    EXPECT_EQ(engine.ClickNode("BUTTON(PosText('search')>0)[1#]"), 1);
    const test::TRecordedRequest post = server.LastRequest("/search");
    EXPECT_EQ(post.Method, "POST");
    EXPECT_EQ(post.Body, "q=a%26b");
    EXPECT_EQ(main.Document().Title(), "Found");

    // A page that never completes: the wait times out, stops loading and
    // counts the page as ready.
    test::LoadUrl(main, server.Url("/form"));
    SetPageWaitSettings(0, 0, 1);
    EXPECT_EQ(engine.ClickNode("A[1#]"), 1);
    EXPECT_FALSE(main.Busy());
    EXPECT_EQ(main.Document().Title(), "Slow");
}

TEST(DeepTreeTest, WalksWithoutRecursion) {
    // The parser caps the depth of a page, but pages can grow deeper through
    // the document model; 100,000 nested DIVs, built from the inside out.
    TStaticWebBrowser browser;
    test::LoadHtml(browser, "<body><table><tr><td>cell</td></tr></table></body>");
    const TNode doc = browser.Document();
    TNode inner = doc.createElement("<SPAN id=bottom>deep text</SPAN>");
    for (int i = 0; i < 100000; ++i) {
        TNode div = doc.createElement("DIV");
        div.InsertBefore(inner);
        inner = div;
    }
    doc.Body().InsertBefore(inner);

    TCoreDataExtractor engine;
    engine.SetMainWB(&browser);
    const TNode bottom = engine.GetNodeByPath("SPAN(PosText('deep')>0)[1#]");
    EXPECT_EQ(Describe(bottom), "bottom");
    EXPECT_EQ(Describe(engine.GetNodeByPath("SPAN(Depth=1)[1#]")), "bottom");
    EXPECT_EQ(Describe(engine.GetNodeByPath("TD(PosText('cell')>0)[1#]")), "TD");
    EXPECT_EQ(Describe(engine.GetRelativeNode(bottom, "PARENTNODE('TABLE')")), "DIV");
    std::vector<int32_t> positions;
    engine.GetNodeCollection("DIV", positions);
    EXPECT_EQ(positions.size(), 100000u);
    EXPECT_EQ(positions.back(), 99999);
}

} // namespace
} // namespace linkvane
