#include "cli/Cli.h"

#include "testlib/TestUtil.h"

#include <gtest/gtest.h>
#include <sstream>

namespace linkvane {
namespace {

int RunCommand(const std::vector<std::string>& args, std::string& out, std::string& err) {
    std::ostringstream o, e;
    const int rc = cli::RunCli(args, o, e);
    out = o.str();
    err = e.str();
    return rc;
}

TEST(ShowCommandTest, PrintsWhatSavingIntoANewFileWrites) {
    test::TempDir dir;
    const std::string task = dir.Write("t.lvt", "; comment\n[Input]\nInitURL=http://x/\nOdd=1\n");
    std::string out, err;
    ASSERT_EQ(RunCommand({"show", task}, out, err), 0) << err;
    EXPECT_EQ(out.rfind("[Input]\r\nTaskName=\r\nInputType=1\r\n", 0), 0u) << out;
    EXPECT_NE(out.find("InitURL=http://x/\r\n[Extract]\r\nLinkCollectionNodePath=.A\r\n"),
              std::string::npos);
    EXPECT_EQ(out.find("Odd"), std::string::npos);
    EXPECT_EQ(out.find("comment"), std::string::npos);
    EXPECT_NE(
        out.find("[Options]\r\nMinRepeatTimes=100\r\nMinWaitSeconds=0\r\nMaxWaitSeconds=90\r\n"),
        std::string::npos);
}

TEST(ShowCommandTest, TemplateTaskShowsAsItIsStored) {
    const std::string templ = test::BinDir() + "/Template/NewTask.lvt";
    std::string out, err;
    ASSERT_EQ(RunCommand({"show", templ}, out, err), 0) << err;
    EXPECT_EQ(out, test::ReadFileBytes(templ));
}

TEST(ShowCommandTest, MissingFileAndUsageErrors) {
    std::string out, err;
    EXPECT_EQ(RunCommand({"show", "/no/such/task.lvt"}, out, err), 1);
    EXPECT_NE(err.find("/no/such/task.lvt"), std::string::npos);
    EXPECT_EQ(RunCommand({"show"}, out, err), 2);
    EXPECT_EQ(RunCommand({}, out, err), 2);
    EXPECT_EQ(RunCommand({"frobnicate"}, out, err), 2);
}

} // namespace
} // namespace linkvane
