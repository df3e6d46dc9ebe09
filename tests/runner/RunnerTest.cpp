#include "browser/TWebBrowser.h"
#include "runner/uURLExtractor.h"
#include "support/Exception.h"
#include "testlib/TestHttpServer.h"
#include "testlib/TestUtil.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <cstdio>
#include <map>

namespace linkvane {
namespace {

/// A task written into a temporary folder with the given keys (others take
/// their defaults), fast page waits, and pages beside it.
class RunnerTest : public ::testing::Test {
protected:
    void SetUp() override { browser = CreateWebBrowser(QStringLiteral("static")); }

    std::string Page(const std::string& name, const std::string& body) {
        return dir.Write(name, "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>" +
                                   body + "</body></html>");
    }
    std::string Url(const std::string& name) { return "file://" + dir.File(name); }

    void LoadTask(std::map<std::string, std::string> keys) {
        keys.emplace("MinRepeatTimes", "0");
        keys.emplace("MaxWaitSeconds", "10");
        keys.emplace("OutputTextFileName", "out.txt");
        keys.emplace("URLMidListFileName", "list.txt");
        static const std::map<std::string, std::string> sections = {
            {"InputType", "Input"},           {"URLPrefix", "Input"},
            {"URLSuffix", "Input"},           {"URLMidListFileName", "Input"},
            {"PostTargetURL", "Input"},       {"URLMidIsUnicode", "Input"},
            {"OutputType", "Output"},         {"LayoutType", "Output"},
            {"OutputTextFileName", "Output"}, {"URLDataPattern", "Output"},
            {"MinRepeatTimes", "Options"},    {"MaxWaitSeconds", "Options"},
            {"MinWaitSeconds", "Options"},
        };
        std::map<std::string, std::string> bySection;
        for (const auto& [k, v] : keys) {
            const auto it = sections.find(k);
            const std::string section = it == sections.end() ? "Extract" : it->second;
            bySection[section] += k + "=" + v + "\r\n";
        }
        std::string text;
        for (const auto& [s, lines] : bySection) {
            text += "[" + s + "]\r\n" + lines;
        }
        ASSERT_TRUE(runner.LoadParam(dir.Write("task.lvt", text)));
        runner.SetWebBrowser(browser.get());
    }
    void List(const std::string& text) { dir.Write("list.txt", text); }
    std::string Output() { return test::ReadFileBytes(dir.File("out.txt")); }

    test::TempDir dir;
    // Before the browser, so the browser's connections close before the
    // server waits for them.
    test::TestHttpServer server;
    std::unique_ptr<TWebBrowser> browser;
    TURLExtractor runner;
};

TEST_F(RunnerTest, EmptyListRaisesNoEventAndStops) {
    List("");
    LoadTask({});
    int events = 0;
    runner.OnBeforeExectuteOneEntry = [&](TURLExtractor*, const QString&, int, int) { ++events; };
    EXPECT_EQ(runner.Execute(), 0);
    EXPECT_EQ(events, 0);
    EXPECT_EQ(runner.RunState(), TRunState::Stopped);
    EXPECT_EQ(Output(), ""); // created empty by the run
}

TEST_F(RunnerTest, EventsInOrderWithTheirNumbersAndDotEntries) {
    Page("a.html", "<a href=\"x1.html\">one</a><a href=\"x2.html\">two</a>");
    Page("b.html", "<a href=\"y.html\">three</a>");
    List(Url("a.html") + "\r\n.\r\n\r\n" + Url("b.html") + "\r\n");
    LoadTask({{"LayoutType", "1"}});
    std::vector<std::string> log;
    runner.OnBeforeExectuteOneEntry = [&](TURLExtractor* s, const QString& e, int no, int count) {
        EXPECT_EQ(s, &runner);
        log.push_back("before " + e.toStdString() + " " + std::to_string(no) + "/" +
                      std::to_string(count));
    };
    runner.OnExtractedOnePage = [&](TURLExtractor*, const QString&, int no, int, int next,
                                    int records) {
        log.push_back("page " + std::to_string(no) + " " + std::to_string(next) + " " +
                      std::to_string(records));
    };
    runner.OnAfterExectuteOneEntry = [&](TURLExtractor*, const QString&, int no, int) {
        log.push_back("after " + std::to_string(no));
    };
    EXPECT_EQ(runner.Execute(), 2 + 2 + 1);
    const std::vector<std::string> expected = {
        "before " + Url("a.html") + " 1/4",
        "page 1 0 2",
        "after 1",
        // "." extracts the page already shown
        "before . 2/4",
        "page 2 0 2",
        "after 2",
        // an empty line is the entry prefix + suffix (here: nothing), which
        // shows a page without links
        "before  3/4",
        "page 3 0 0",
        "after 3",
        "before " + Url("b.html") + " 4/4",
        "page 4 0 1",
        "after 4",
    };
    EXPECT_EQ(log, expected);
    EXPECT_EQ(Output(), "file://" + dir.File("x1.html") + "\r\nfile://" + dir.File("x2.html") +
                            "\r\nfile://" + dir.File("x1.html") + "\r\nfile://" +
                            dir.File("x2.html") + "\r\nfile://" + dir.File("y.html") + "\r\n");
}

TEST_F(RunnerTest, FiltersInOrderAndDuplicatesPerPage) {
    Page("p.html",
         "<a href=\"http://h/keep/1\">Keep one</a>"
         "<a href=\"HTTP://H/KEEP/1\">Keep upper duplicate</a>"
         "<a href=\"http://h/keep/2\">x</a>"              // text too short
         "<a href=\"http://h/keep/2\">Keep two</a>"       // same address, passes now
         "<a href=\"http://h/other/3\">Keep three</a>"    // not in the mask
         "<a href=\"http://h/keep/skip\">Keep skip</a>"   // URL exclude
         "<a href=\"http://h/keep/4\">keep lower</a>"     // text include is case sensitive
         "<a href=\"http://h/keep/5\">Keep Sponsored</a>" // text exclude
         "<a href=\"\">Keep empty</a>"                    // resolves to the page itself
         "<a>Keep no href</a>");
    List(Url("p.html"));
    LoadTask({{"LinkURL_Pattern", "http://h/*"},
              {"LinkURL_Keywords_Include", "keep;KEEP;p.html"},
              {"LinkURL_Keywords_Exclude", "skip"},
              {"LinkText_Keywords_Include", "Keep"},
              {"LinkText_Keywords_Exclude", "Sponsored"},
              {"LinkText_Length_Min", "2"},
              {"LayoutType", "3"}});
    EXPECT_EQ(runner.Execute(), 2);
    EXPECT_EQ(Output(), "http://h/keep/1\tKeep one\r\nhttp://h/keep/2\tKeep two\r\n");
}

TEST_F(RunnerTest, EveryLayoutByteForByte) {
    Page("p.html", "<table><tr><td><a href=\"http://h/1\">One\r\nline</a></td><td>extra 1</td></tr>"
                   "<tr><td><a href=\"http://h/2\">Two</a></td><td></td></tr></table>");
    const std::string src = Url("p.html");
    const struct {
        const char* layout;
        std::string main;
        std::string second;
    } cases[] = {
        {"1", "http://h/1\textra 1\r\nhttp://h/2\r\n", ""},
        {"2", "One line\textra 1\r\nTwo\r\n", ""},
        {"3", "http://h/1\tOne line\textra 1\r\nhttp://h/2\tTwo\r\n", ""},
        {"4", "One line\thttp://h/1\textra 1\r\nTwo\thttp://h/2\r\n", ""},
        {"5", "One line\textra 1\r\nTwo\r\n", "http://h/1\r\nhttp://h/2\r\n"},
        {"6", src + "\thttp://h/1\textra 1\r\n" + src + "\thttp://h/2\r\n", ""},
        {"9", "\textra 1\r\n\r\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout);
        std::remove(dir.File("out.txt").c_str());
        std::remove(dir.File("out_URL.txt").c_str());
        List(src);
        LoadTask(
            {{"LayoutType", c.layout}, {"ExtraDataRelativeNodePath", "PARENTNODE('TR').TD[2]"}});
        runner.Execute();
        EXPECT_EQ(Output(), c.main);
        EXPECT_EQ(test::ReadFileBytes(dir.File("out_URL.txt")), c.second);
    }
}

TEST_F(RunnerTest, NextPagesUntilNoLinkAndSecondRunAppends) {
    Page("p1.html", "<a href=\"http://h/1\">a</a><a href=\"p2.html\">Next</a>");
    Page("p2.html", "<a href=\"http://h/2\">b</a><a href=\"p3.html\">Next</a>");
    Page("p3.html", "<a href=\"http://h/3\">c</a>");
    List(Url("p1.html"));
    LoadTask(
        {{"NextPageNodeKeyword", "Next"}, {"LinkURL_Pattern", "http://h/*"}, {"LayoutType", "6"}});
    std::vector<int> pages;
    runner.OnExtractedOnePage = [&](TURLExtractor*, const QString&, int, int, int next, int) {
        pages.push_back(next);
    };
    EXPECT_EQ(runner.Execute(), 3);
    EXPECT_EQ(pages, (std::vector<int>{0, 1, 2}));
    const std::string once = Url("p1.html") + "\thttp://h/1\r\n" + Url("p2.html") +
                             "\thttp://h/2\r\n" + Url("p3.html") + "\thttp://h/3\r\n";
    EXPECT_EQ(Output(), once);

    pages.clear();
    EXPECT_EQ(runner.Execute(), 3);
    EXPECT_EQ(Output(), once + once);
}

TEST_F(RunnerTest, NextLinkToTheSamePageEndsTheSequence) {
    Page("self.html", "<a href=\"http://h/1\">a</a><a href=\"self.html\">Next</a>");
    List(Url("self.html"));
    LoadTask({{"NextPageNodeKeyword", "Next"}, {"LinkURL_Pattern", "http://h/*"}});
    int pages = 0;
    runner.OnExtractedOnePage = [&](TURLExtractor*, const QString&, int, int, int, int) {
        ++pages;
    };
    EXPECT_EQ(runner.Execute(), 1);
    EXPECT_EQ(pages, 1);
}

TEST_F(RunnerTest, PauseAndStopFromEventHandlers) {
    Page("a.html", "<a href=\"http://h/a\">a</a>");
    List(Url("a.html") + "\n" + Url("a.html") + "\n" + Url("a.html") + "\n");
    LoadTask({});
    std::vector<int> visited;
    runner.OnBeforeExectuteOneEntry = [&](TURLExtractor*, const QString&, int no, int) {
        visited.push_back(no);
    };
    runner.OnAfterExectuteOneEntry = [&](TURLExtractor* s, const QString&, int no, int) {
        if (no == 1) {
            s->Pause();
            // Continue arrives while the run waits in its stop check.
            QTimer::singleShot(150, [s] { s->Continue(); });
        } else if (no == 2) {
            s->Stop();
        }
    };
    EXPECT_EQ(runner.Execute(), 2);
    EXPECT_EQ(visited, (std::vector<int>{1, 2}));
    EXPECT_EQ(runner.RunState(), TRunState::Stopped);
}

TEST_F(RunnerTest, TwoTasksInARowDoNotShareFilters) {
    Page("p.html", "<a href=\"http://h/a.pdf\">PDF file</a><a href=\"http://h/b.html\">Page</a>");
    List(Url("p.html"));
    LoadTask({{"LinkURL_Pattern", "*.pdf"}, {"LinkText_Keywords_Include", "PDF"}});
    EXPECT_EQ(runner.Execute(), 1);
    std::remove(dir.File("out.txt").c_str());
    LoadTask({});
    EXPECT_EQ(runner.Execute(), 2);
}

TEST_F(RunnerTest, URLDataPatternCutsTheAddress) {
    Page("p.html", "<a href=\"http://h/item?id=7&x=1\">seven</a>"
                   "<a href=\"http://h/none\">none 1</a><a href=\"http://h/none2\">none 2</a>");
    List(Url("p.html"));
    LoadTask({{"URLDataPattern", "id=*&"}, {"LayoutType", "3"}});
    EXPECT_EQ(runner.Execute(), 2);
    EXPECT_EQ(Output(), "7\tseven\r\n\tnone 1\r\n");
}

TEST_F(RunnerTest, RunErrorsEndTheRunWithTheirMessages) {
    LoadTask({{"URLMidListFileName", "missing.txt"}});
    EXPECT_EQ(test::ErrorOf([&] { runner.Execute(); }),
              "Cannot open file \"" + dir.File("missing.txt") + "\". No such file or directory");
    EXPECT_EQ(runner.RunState(), TRunState::Stopped); // the list file is read before the run starts

    List(Url("p.html"));
    LoadTask({{"OutputTextFileName", ""}});
    EXPECT_THROW(runner.Execute(), Exception);

    LoadTask({{"LinkURL_Pattern", "[z-"}});
    EXPECT_THROW(runner.Execute(), Exception);

    Page("p.html", "<a href=\"http://h/1\">a</a>");
    LoadTask({{"LinkCollectionNodePath", ".A((("}});
    EXPECT_THROW(runner.Execute(), Exception);
    EXPECT_EQ(runner.RunState(), TRunState::Running);
}

TEST_F(RunnerTest, CheckLinkValidRewritesOrDrops) {
    Page("p.html", "<a href=\"http://h/1\">one</a><a href=\"http://h/2\">two</a>");
    List(Url("p.html"));
    LoadTask({{"LayoutType", "3"}});
    runner.OnCheckLinkValid = [](TURLExtractor*, QString& url, QString& text, bool& valid) {
        if (text == QStringLiteral("two")) {
            valid = false;
        }
        url += QStringLiteral("#x");
        text = text.toUpper();
    };
    EXPECT_EQ(runner.Execute(), 1);
    EXPECT_EQ(Output(), "http://h/1#x\tONE\r\n");
}

TEST_F(RunnerTest, PostEntriesReachTheTargetWithPrefixAndSuffix) {
    server.Server().Post("/search", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("<a href=\"http://h/" + req.body + "\">hit</a>", "text/html");
    });
    server.Start();
    List("one\r\ntwo words\r\n");
    LoadTask({{"InputType", "3"},
              {"PostTargetURL", server.Url("/search")},
              {"URLPrefix", "q="},
              {"URLSuffix", "&page=1"}});
    std::vector<std::pair<int, int>> numbers;
    runner.OnBeforeExectuteOneEntry = [&](TURLExtractor*, const QString&, int no, int count) {
        numbers.emplace_back(no, count);
    };
    EXPECT_EQ(runner.Execute(), 2);
    EXPECT_EQ(numbers, (std::vector<std::pair<int, int>>{{1, 2}, {2, 2}}));
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Body, "q=one&page=1");
    EXPECT_EQ(requests[1].Body, "q=two words&page=1");
    EXPECT_EQ(requests[1].Header("Content-Type"), "application/x-www-form-urlencoded");
}

TEST(RunnerKeywordTest, ContainsAnyKeyword) {
    EXPECT_TRUE(TURLExtractor::ContainsAnyKeyword("abc", {}));
    EXPECT_TRUE(TURLExtractor::ContainsAnyKeyword("abc", {"x", "b"}));
    EXPECT_FALSE(TURLExtractor::ContainsAnyKeyword("abc", {"B"}));
    EXPECT_FALSE(TURLExtractor::ContainsAnyKeyword("abc", {""}));
}

} // namespace
} // namespace linkvane
