// Whole runs of the task runner and of linkvane-cli over the browser engine.
#include "browser/PageWaitSettings.h"
#include "browser/TStaticWebBrowser.h"
#include "gui/TWebEngineBrowser.h"
#include "runner/uURLExtractor.h"
#include "testlib/TestHttpServer.h"
#include "testlib/TestUtil.h"

#include <QProcess>

#include <cstdio>

#include <gtest/gtest.h>

namespace linkvane {
namespace {

/// A list of three pages in one address; the "next" button's handler
/// replaces the list and removes itself on the last page.
const char* const ScriptPagedList = R"(<body><ul id="list"></ul><button id="next">next</button>
<script>
  let page = 1;
  function show() {
    const list = document.getElementById('list');
    list.innerHTML = '';
    for (let i = 1; i <= 2; ++i)
      list.insertAdjacentHTML('beforeend',
          '<li><a href="/item?p=' + page + '&i=' + i + '">item ' + page + '.' + i + '</a></li>');
    if (page === 3)
      document.getElementById('next').remove();
  }
  document.getElementById('next').addEventListener('click', () => { ++page; show(); });
  show();
</script></body>)";

/// Writes a task over Entries into Dir: every A element, layout
/// "LinkURL {Tab} LinkText" (with extra data), results in out.txt, no extra
/// polls. The other lines go into their sections.
std::string WriteTask(const test::TempDir& Dir, const std::vector<std::string>& Entries,
                      const std::string& ExtractLines,
                      const std::string& InputLines = "InputType=1\r\n",
                      const std::string& MaxWaitSeconds = "30") {
    std::string list;
    for (const std::string& entry : Entries)
        list += entry + "\r\n";
    Dir.Write("list.txt", list);
    return Dir.Write("task.lvt", "[Input]\r\nURLMidListFileName=list.txt\r\n" + InputLines +
                                     "[Extract]\r\nLinkCollectionNodePath=.A\r\n" + ExtractLines +
                                     "LinkText_Length_Min=0\r\nLinkText_Length_Max=500\r\n"
                                     "[Output]\r\nOutputType=1\r\nLayoutType=3\r\n"
                                     "OutputTextFileName=out.txt\r\n"
                                     "[Options]\r\nMinRepeatTimes=0\r\nMinWaitSeconds=0\r\n"
                                     "MaxWaitSeconds=" +
                                     MaxWaitSeconds + "\r\n");
}

class BrowserRunTest : public ::testing::Test {
protected:
    void TearDown() override { SetPageWaitSettings(200, 0, 90); }

    /// Runs the task in Dir with Browser; answers the result file.
    std::string Run(const std::string& Task, TWebBrowser& Browser, int& Records) {
        TURLExtractor runner;
        EXPECT_TRUE(runner.LoadParam(Task));
        runner.SetWebBrowser(&Browser);
        Records = runner.Execute();
        return test::ReadFileBytes(runner.OutputFileName());
    }

    test::TestHttpServer m_server;
    test::TempDir m_dir;
};

TEST_F(BrowserRunTest, RunnerPaginatesByAScriptButton) {
    m_server.Page("/list", ScriptPagedList);
    m_server.Start();
    const std::string task =
        WriteTask(m_dir, {m_server.Url("/list")}, "NextPageNodePath=BUTTON[1#]\r\n");
    TWebEngineBrowser browser;
    int records = 0;
    const std::string result = Run(task, browser, records);
    EXPECT_EQ(records, 6);
    std::string expected;
    for (int page = 1; page <= 3; ++page)
        for (int i = 1; i <= 2; ++i)
            expected +=
                m_server.Url("/item?p=" + std::to_string(page) + "&i=" + std::to_string(i)) +
                "\titem " + std::to_string(page) + "." + std::to_string(i) + "\r\n";
    EXPECT_EQ(result, expected);
}

/// A page without scripts: entities, white space, BASE, relative and odd
/// addresses, markup inside links, a "Next page" link.
const char* const ShopPage = R"html(<!DOCTYPE html><html><head><title>Shop</title>
<base href="/shop/"></head><body><h1>Books &amp; more</h1>
<table>
<tr><td><a href="book?id=1&amp;x=%41">The  first
  book</a></td><td>Ann   Author</td></tr>
<tr><td><a href="/abs/2">Caf&eacute; &ldquo;two&rdquo;</a></td><td>Bob<br>Second line</td></tr>
<tr><td><a href="https://other.example/3?q='a b'">Third <b>bold</b> <i>it</i></a></td>
    <td><p>Para</p><ul><li>one<li>two</ul></td></tr>
<tr><td><a href="">empty address</a></td><td>&nbsp;D&nbsp;</td></tr>
<tr><td><a>no address</a> <a href="javascript:void(0)">script link</a></td><td>E</td></tr>
</table>
<p>See <a href="list2">Next page</a></p></body></html>)html";

TEST_F(BrowserRunTest, BothEnginesWriteTheSameResultsForPagesWithoutScripts) {
    m_server.Page("/shop/list1", ShopPage);
    m_server.Page("/shop/list2", R"(<html><body><table>
<tr><td><A HREF="../other/4#part">Fourth</A></td><td>Dana</td></tr>
<tr><td><a href="mailto:someone@example.com">Mail us</a></td><td>F</td></tr>
</table></body></html>)");
    m_server.Page("/plain", "<p>No table here: <a href='/x'>x</a> and <a href='y'>y</a>");
    m_server.Start();
    const std::string task =
        WriteTask(m_dir, {m_server.Url("/shop/list1"), m_server.Url("/plain")},
                  "NextPageNodeKeyword=Next page\r\nExtraDataRelativeNodePath=PARENTNODE('TR')."
                  "TD[2]\r\n");

    TStaticWebBrowser staticBrowser;
    int staticRecords = 0;
    const std::string staticResult = Run(task, staticBrowser, staticRecords);
    std::remove(m_dir.File("out.txt").c_str()); // results are appended
    TWebEngineBrowser browser;
    int browserRecords = 0;
    const std::string browserResult = Run(task, browser, browserRecords);
    EXPECT_EQ(staticRecords, 10);
    EXPECT_EQ(browserRecords, staticRecords);
    EXPECT_EQ(browserResult, staticResult);
}

TEST_F(BrowserRunTest, RunnerPostsEachEntry) {
    m_server.Server().Post("/search", [](const httplib::Request& Req, httplib::Response& Res) {
        Res.set_content("<a href='/found?" + Req.body + "'>found</a>", "text/html");
    });
    m_server.Start();
    // InputType 3: each entry is form data posted to PostTargetURL.
    const std::string task =
        WriteTask(m_dir, {"q=a&n=1", "q=b+c%21"}, "",
                  "InputType=3\r\nPostTargetURL=" + m_server.Url("/search") + "\r\n");
    TWebEngineBrowser browser;
    int records = 0;
    EXPECT_EQ(Run(task, browser, records), m_server.Url("/found?q=a&n=1") + "\tfound\r\n" +
                                               m_server.Url("/found?q=b+c%21") + "\tfound\r\n");
    std::vector<std::string> bodies;
    for (const test::TRecordedRequest& request : m_server.Requests()) {
        if (request.Method != "POST")
            continue;
        bodies.push_back(request.Body);
        EXPECT_EQ(request.Header("Content-Type"), "application/x-www-form-urlencoded");
    }
    EXPECT_EQ(bodies, (std::vector<std::string>{"q=a&n=1", "q=b+c%21"}));
}

TEST_F(BrowserRunTest, RunnerExtractsAPageThatNeverFinishes) {
    m_server.NeverEnding("/slow", "<title>slow</title><a href='/first'>first</a>");
    m_server.Start();
    const std::string task = WriteTask(m_dir, {m_server.Url("/slow")}, "", "InputType=1\r\n", "0");
    TWebEngineBrowser browser;
    int records = 0;
    EXPECT_EQ(Run(task, browser, records), m_server.Url("/first") + "\tfirst\r\n");
    EXPECT_FALSE(browser.Busy());
}

TEST_F(BrowserRunTest, CommandLineRunsAndQueriesOffScreen) {
    m_server.Page("/list", ScriptPagedList);
    m_server.Start();
    const std::string task =
        WriteTask(m_dir, {m_server.Url("/list")}, "NextPageNodePath=BUTTON[1#]\r\n");
    const QString cli = QString::fromStdString(test::BinDir() + "/linkvane-cli");
    QProcess run;
    run.start(cli, {QStringLiteral("run"), QStringLiteral("--engine"), QStringLiteral("browser"),
                    QStringLiteral("--quiet"), QString::fromStdString(task)});
    ASSERT_TRUE(run.waitForFinished(60000));
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    EXPECT_EQ(run.readAllStandardOutput().toStdString(), "Task Finished! Got 6 Records.\n");
    EXPECT_NE(test::ReadFileBytes(m_dir.File("out.txt")).find("item 3.2"), std::string::npos);

    QProcess query;
    query.start(cli, {QStringLiteral("query"), QStringLiteral("--engine=browser"),
                      QString::fromStdString(m_server.Url("/list")), QStringLiteral("LINKS('*')")});
    ASSERT_TRUE(query.waitForFinished(60000));
    EXPECT_EQ(query.exitCode(), 0) << query.readAllStandardError().toStdString();
    EXPECT_EQ(query.readAllStandardOutput().toStdString(),
              "0\t" + m_server.Url("/item?p=1&i=1") + "\titem 1.1\n1\t" +
                  m_server.Url("/item?p=1&i=2") + "\titem 1.2\n");
    // Nothing but the answer: the engine's start-up notes are not shown.
    EXPECT_EQ(query.readAllStandardError().toStdString(), "");
}

} // namespace
} // namespace linkvane
