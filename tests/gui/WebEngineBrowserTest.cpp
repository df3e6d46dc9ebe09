// The browser engine's own behaviour: pages built and changed by scripts,
// clicks on live elements, frames of other origins, the options dialog.
#include "browser/PageWaitSettings.h"
#include "browser/WebTools.h"
#include "gui/TWebEngineBrowser.h"
#include "gui/frmBrowserOptions.h"
#include "query/uCoreDataExtractor.h"
#include "support/Exception.h"
#include "testlib/TestHttpServer.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QWebEnginePage>
#include <QWidget>

#include <gtest/gtest.h>

namespace linkvane {
namespace {

/// The addresses of the A elements that LINKS('*') answers.
std::vector<std::string> Links(TCoreDataExtractor& Engine) {
    std::vector<int32_t> positions;
    const TNode links = Engine.GetNodeCollection("LINKS('*')", positions);
    std::vector<std::string> out;
    for (int32_t p : positions)
        out.push_back(links.Item(p).Href());
    return out;
}

/// Runs Script in the page's own world, as the page's scripts would, and
/// waits for it.
void RunPageScript(TWebEngineBrowser& Browser, const QString& Script) {
    bool done = false;
    Browser.Page()->runJavaScript(Script, 0, [&done](const QVariant&) { done = true; });
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < 5000)
        SpinMessages(1);
    ASSERT_TRUE(done);
}

class WebEngineBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetPageWaitSettings(0, 0, 30);
        m_engine.SetMainWB(&m_browser);
    }
    void TearDown() override { SetPageWaitSettings(200, 0, 90); }

    void Open(const std::string& Path) {
        m_browser.Navigate(QString::fromStdString(m_server.Url(Path)));
        ASSERT_TRUE(WaitPageReady(m_browser));
    }
    /// Queries until the page's links are Expected (scripts add them on a
    /// timer), for at most a few seconds.
    std::vector<std::string> LinksOnceThere(const std::vector<std::string>& Expected) {
        QElapsedTimer timer;
        timer.start();
        std::vector<std::string> links = Links(m_engine);
        while (links != Expected && timer.elapsed() < 5000) {
            WaitWithMessages(60, true);
            links = Links(m_engine);
        }
        return links;
    }

    test::TestHttpServer m_server;
    TWebEngineBrowser m_browser;
    TCoreDataExtractor m_engine;
};

TEST_F(WebEngineBrowserTest, FindsLinksThatScriptsAddAfterLoading) {
    m_server.Page("/page", R"(<body><a href="/static">static</a><div id="list"></div>
<script>
  document.getElementById('list').innerHTML = '<a href="/inline">inline</a>';
  addEventListener('load', () => setTimeout(() => {
    const a = document.createElement('a');
    a.href = '/later';
    a.textContent = 'later';
    document.body.appendChild(a);
  }, 200));
</script></body>)");
    m_server.Start();
    Open("/page");
    // The script that ran while the page loaded has left its link.
    const std::vector<std::string> loaded = Links(m_engine);
    ASSERT_GE(loaded.size(), 2u);
    EXPECT_EQ(loaded[0], m_server.Url("/static"));
    EXPECT_EQ(loaded[1], m_server.Url("/inline"));
    EXPECT_EQ(
        LinksOnceThere({m_server.Url("/static"), m_server.Url("/inline"), m_server.Url("/later")}),
        (std::vector<std::string>{m_server.Url("/static"), m_server.Url("/inline"),
                                  m_server.Url("/later")}));
}

TEST_F(WebEngineBrowserTest, ClickWithoutLiveElementAnswersZero) {
    m_server.Page("/page", R"(<p id="p">Price: 12 EUR<br></p><button id="b"
        onclick="document.title = 'clicked'">b</button>)");
    m_server.Start();
    Open("/page");

    // The query engine's own element (made by PATTERNSTRINGS) has no live
    // element behind it: ClickNode logs the error and answers 0.
    EXPECT_EQ(m_engine.ClickNode("P[1#].PATTERNSTRINGS('Price:*<')"), 0);

    // An element the page has removed since the snapshot was taken.
    const TNode button = m_engine.GetNodeByPath("BUTTON[1#]");
    ASSERT_TRUE(button.IsElement());
    RunPageScript(m_browser, QStringLiteral("document.getElementById('b').remove()"));
    EXPECT_THROW(button.Click(), Exception);

    // An element of a snapshot that a newer one has replaced.
    m_browser.RefreshDocument();
    EXPECT_THROW(button.Click(), Exception);
    EXPECT_NE(m_browser.Document().Title(), "clicked");
}

TEST_F(WebEngineBrowserTest, PatternStringsChangeTheSnapshotUntilThePageChanges) {
    m_server.Page("/page", R"(<p id="p">Price: 12 EUR<br></p>)");
    m_server.Start();
    Open("/page");
    const TNode match = m_engine.GetNodeByPath("P[1#].PATTERNSTRINGS('Price:*<')");
    ASSERT_TRUE(match.IsElement());
    // The live page has not changed (an inline style does not count): the
    // next query keeps the changed snapshot.
    RunPageScript(m_browser, QStringLiteral("document.getElementById('p').style.color = 'red'"));
    WaitWithMessages(80, true);
    EXPECT_TRUE(m_engine.GetNodeByPath("DIV(PosText('PatternStrings')>0)[1#]").IsElement());

    RunPageScript(m_browser, QStringLiteral("document.getElementById('p').textContent = 'new'"));
    WaitWithMessages(80, true);
    EXPECT_FALSE(m_engine.GetNodeByPath("DIV(PosText('PatternStrings')>0)[1#]").IsElement());
    EXPECT_EQ(m_engine.GetNodeByPath("P[1#]").InnerText(), "new");
}

TEST_F(WebEngineBrowserTest, PageThatStopsAnsweringIsClosedAndTheNextOneLoads) {
    m_server.Page("/hang", "<a href='/h'>h</a><script>addEventListener('load', () => "
                           "setTimeout(() => { for (;;) {} }, 100))</script>");
    m_server.Page("/next", "<a href='/n'>n</a>");
    m_server.Start();
    m_browser.SetScriptTimeout(500);
    Open("/hang");
    WaitWithMessages(300, true);
    QElapsedTimer timer;
    timer.start();
    m_browser.RefreshDocument();
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(m_browser.StatusText(), QStringLiteral("The page stopped answering and was closed"));
    // The page of the same site that follows loads in a new process.
    Open("/next");
    EXPECT_EQ(Links(m_engine), (std::vector<std::string>{m_server.Url("/n")}));
}

TEST_F(WebEngineBrowserTest, FramesOfAnotherOriginAnswerNothing) {
    test::TestHttpServer other; // another port: another origin
    // Its connection is not kept open for the browser, which outlives it.
    other.Server().set_keep_alive_max_count(1);
    other.Page("/inner", "<a href='/secret'>secret</a>");
    other.Start();
    m_server.Page("/top", "<iframe src='" + other.Url("/inner") +
                              "'></iframe><iframe src='/same'></iframe>");
    m_server.Page("/same", "<a href='/mine'>mine</a>");
    m_server.Start();
    Open("/top");
    m_browser.RefreshDocument();
    const TNode frames = m_browser.Document().Frames();
    ASSERT_EQ(frames.Length(), 2);
    EXPECT_FALSE(VarHasValue(frames.Item(0)));
    ASSERT_TRUE(frames.Item(1).IsDocument());
    EXPECT_EQ(frames.Item(1).Tags("A").Item(0).Href(), m_server.Url("/mine"));
}

TEST_F(WebEngineBrowserTest, SnapshotHoldsTheLivePageWhereTheParserWouldDiffer) {
    // NOSCRIPT content is text in a page that runs scripts; a DIV that a
    // script put into a TABLE stays there (a parser would move it out);
    // clicks still reach the right live elements.
    m_server.Page("/page", R"(<!DOCTYPE html><body>
<noscript><a href="/noscript">no script</a></noscript>
<table id="t"><tr><td>cell</td></tr></table>
<script>
  const div = document.createElement('div');
  div.innerHTML = '<a href="/in-table">in table</a><button id="b">b</button>';
  document.getElementById('t').appendChild(div);
  document.getElementById('b').onclick = () => { document.title = 'clicked'; };
</script></body>)");
    m_server.Start();
    Open("/page");
    EXPECT_EQ(Links(m_engine), (std::vector<std::string>{m_server.Url("/in-table")}));
    m_browser.RefreshDocument();
    EXPECT_EQ(m_browser.Document().Tags("NOSCRIPT").Item(0).InnerText(),
              "<a href=\"/noscript\">no script</a>");
    EXPECT_EQ(m_engine.ClickNode("BUTTON[1#]"), 1);
    m_browser.RefreshDocument();
    EXPECT_EQ(m_browser.Document().Title(), "clicked");
}

TEST_F(WebEngineBrowserTest, LinksForAnotherWindowOpenHere) {
    m_server.Page("/page", "<a id='x' href='/other' target='_blank'>other</a>");
    m_server.Page("/other", "<title>other</title>");
    m_server.Start();
    Open("/page");
    EXPECT_EQ(m_engine.ClickNode("A[1#]"), 1);
    EXPECT_EQ(m_browser.LocationURL().toStdString(), m_server.Url("/other"));
    EXPECT_EQ(m_browser.Document().Title(), "other");
}

TEST_F(WebEngineBrowserTest, OptionsDialogOnlyWithAWindowAndItsSettingsApply) {
    m_server.Page("/page", "<script>document.write('<a href=\"/js\">js</a>')</script>"
                           "<a href='/plain'>plain</a>");
    m_server.Start();
    Open("/page");
    EXPECT_FALSE(m_browser.Capabilities().HasOptionsDialog);
    EXPECT_FALSE(m_browser.ExecCommand(3));
    EXPECT_TRUE(m_browser.Capabilities().RunsScripts);

    QWidget window;
    m_browser.CreateView(&window);
    EXPECT_TRUE(m_browser.Capabilities().HasOptionsDialog);
    bool seen = false;
    // The dialog is modal: answer it once it shows.
    QTimer::singleShot(200, &window, [&seen] {
        auto* dialog = qobject_cast<TBrowserOptions_Frm*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen = true;
        dialog->JavaScript_Chk->setChecked(false);
        dialog->OK_Btn->click();
    });
    ShowInternetOptions(m_browser);
    EXPECT_TRUE(seen);
    Open("/page");
    EXPECT_EQ(Links(m_engine), (std::vector<std::string>{m_server.Url("/plain")}));
}

} // namespace
} // namespace linkvane
