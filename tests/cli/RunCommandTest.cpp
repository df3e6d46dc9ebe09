#include "cli/Cli.h"

#include "testlib/TestUtil.h"

#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>
#include <sstream>

namespace linkvane {
namespace {

struct TResult {
    int Status;
    std::string Out, Err;
};

TResult RunCommand(const std::vector<std::string>& args) {
    std::ostringstream o, e;
    const int rc = cli::RunCli(args, o, e);
    return {rc, o.str(), e.str()};
}

class RunCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Write("site/a.html", "<a href=\"http://h/1\">one</a><a href=\"http://h/2\">two</a>");
        dir.Write("site/b.html", "<a href=\"http://h/3\">three</a>");
        dir.Write("list.txt", "a.html\r\nb.html\r\n");
    }
    std::string Task(const std::string& name, const std::string& extract) {
        return dir.Write(name, "[Input]\r\nURLPrefix=file://" + dir.Path() +
                                   "/site/\r\nURLMidListFileName=list.txt\r\n[Extract]\r\n" +
                                   extract +
                                   "\r\n[Output]\r\nOutputTextFileName=out.txt\r\n"
                                   "[Options]\r\nMinRepeatTimes=0\r\n");
    }
    test::TempDir dir;
};

TEST_F(RunCommandTest, RunsATaskWithProgressAndClosingLine) {
    const TResult r = RunCommand({"run", Task("t.lvt", "")});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "Task Finished! Got 3 Records.\n");
    EXPECT_NE(r.Err.find("50.00% (1/2)  file://" + dir.Path() + "/site/a.html\n"),
              std::string::npos)
        << r.Err;
    EXPECT_NE(r.Err.find("100.00% (2/2)  "), std::string::npos);
    EXPECT_EQ(test::ReadFileBytes(dir.File("out.txt")),
              "http://h/1\r\nhttp://h/2\r\nhttp://h/3\r\n");

    const TResult quiet = RunCommand({"run", "--quiet", "--set", "LayoutType=2", "--set",
                                      "LinkURL_Keywords_Include=3", dir.File("t.lvt")});
    ASSERT_EQ(quiet.Status, 0) << quiet.Err;
    EXPECT_EQ(quiet.Err, "");
    EXPECT_EQ(quiet.Out, "Task Finished! Got 1 Records.\n");
    EXPECT_EQ(test::ReadFileBytes(dir.File("out.txt")),
              "http://h/1\r\nhttp://h/2\r\nhttp://h/3\r\nthree\r\n");
}

TEST_F(RunCommandTest, BatchListRunsEveryTaskInOrder) {
    Task("first.lvt", "LinkURL_Keywords_Include=1");
    Task("second.lvt", "LinkURL_Keywords_Include=2");
    const std::string batch = dir.Write("all.BATCH", "first.lvt\r\nsecond.lvt\r\n");
    const TResult r = RunCommand({"run", "--quiet", "--set", "LayoutType=2", batch});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "Task Finished! Got 1 Records.\nTask Finished! Got 1 Records.\n");
    EXPECT_EQ(test::ReadFileBytes(dir.File("out.txt")), "one\r\ntwo\r\n");

    dir.Write("broken.batch", "first.lvt\r\nmissing.lvt\r\nsecond.lvt\r\n");
    const TResult broken = RunCommand({"run", "--quiet", dir.File("broken.batch")});
    EXPECT_EQ(broken.Status, 1);
    EXPECT_EQ(broken.Out, "Task Finished! Got 1 Records.\n");
    EXPECT_NE(broken.Err.find("File does not exists:"), std::string::npos) << broken.Err;
}

TEST_F(RunCommandTest, InterruptStopsAfterThePageUnderWay) {
    // A chain of pages joined by "Next" links: each click waits about a
    // second, so the interrupt arrives in the middle of the chain.
    for (int i = 1; i <= 6; ++i) {
        dir.Write("site/p" + std::to_string(i) + ".html",
                  "<a href=\"http://h/" + std::to_string(i) + "\">link</a><a href=\"p" +
                      std::to_string(i + 1) + ".html\">Next</a>");
    }
    dir.Write("list.txt", "p1.html\r\n");
    const std::string task =
        Task("t.lvt", "NextPageNodeKeyword=Next\r\nLinkURL_Pattern=http://h/*");
    QTimer::singleShot(300, [] { std::raise(SIGINT); });
    const TResult r = RunCommand({"run", "--quiet", task});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::string out = test::ReadFileBytes(dir.File("out.txt"));
    EXPECT_EQ(out.rfind("http://h/1\r\n", 0), 0u) << out;
    EXPECT_EQ(out.find("http://h/6"), std::string::npos) << out;
    const int lines = static_cast<int>(std::count(out.begin(), out.end(), '\n'));
    EXPECT_EQ(r.Out, "Task Finished! Got " + std::to_string(lines) + " Records.\n");
}

TEST_F(RunCommandTest, FailuresAndUsageErrors) {
    const std::string task = Task("t.lvt", "");
    const struct {
        std::vector<std::string> args;
        int status;
        const char* message;
    } cases[] = {
        {{"run"}, 2, "usage"},
        {{"run", "--set", "NoSuchKey=1", task}, 2, "NoSuchKey"},
        {{"run", "--set", "DBConnectionFileName=x.udl", task}, 2, "Output.DBConnectionFileName"},
        {{"run", "--engine", "warp", task}, 2, "Unknown browser engine: warp"},
        {{"run", "--frobnicate", task}, 2, "--frobnicate"},
        {{"run", dir.File("missing.lvt")}, 1, "File does not exists:"},
        {{"run", "--set", "URLMidListFileName=nolist.txt", task},
         1,
         "File 'nolist.txt' does not exist!"},
        {{"run", "--set", "OutputTextFileName=no/dir/out.txt", task}, 1, "Directory in '"},
        {{"run", "--set", "LinkCollectionNodePath=.A(((", task}, 1, ""},
        {{"run", "--set", "LinkURL_Pattern=[a-", task}, 1, "is an invalid mask"},
    };
    for (const auto& c : cases) {
        const TResult r = RunCommand(c.args);
        EXPECT_EQ(r.Status, c.status) << c.args.back() << " " << r.Err;
        EXPECT_NE(r.Err.find(c.message), std::string::npos) << r.Err;
    }
}

} // namespace
} // namespace linkvane
