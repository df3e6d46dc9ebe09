#include "cli/Cli.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>

namespace linkvane {
namespace {

int RunCheck(const std::vector<std::string>& args, std::string& out, std::string& err) {
    std::ostringstream o, e;
    std::vector<std::string> all = {"check"};
    all.insert(all.end(), args.begin(), args.end());
    const int rc = cli::RunCli(all, o, e);
    out = o.str();
    err = e.str();
    return rc;
}

TEST(CheckCommandTest, PrintsOneLinePerStep) {
    std::string out, err;
    ASSERT_EQ(RunCheck({"TABLE[2#].TD(2<Depth<=3).LINKS('*.pdf')"}, out, err), 0) << err;
    EXPECT_EQ(out, "1\tKind=nkTag\tName=TABLE\tIndex=1\tChildrenOnly=0\tAllMatches=0\tFunc=sfNone\t"
                   "Tag=\tMaskText=\tArgument=\tLeftOp=opGT\tLeftValue=0\tRightOp=opLT\t"
                   "RightValue=1000\n"
                   "2\tKind=nkTag\tName=TD\tIndex=0\tChildrenOnly=0\tAllMatches=0\tFunc=sfDepth\t"
                   "Tag=\tMaskText=\tArgument=\tLeftOp=opGT\tLeftValue=2\tRightOp=opLE\t"
                   "RightValue=3\n"
                   "3\tKind=nkCollection\tName=LINKS\tIndex=0\tChildrenOnly=0\tAllMatches=0\t"
                   "Func=sfURLMask\tTag=A\tMaskText=*.pdf\tArgument=\tLeftOp=opGT\tLeftValue=0\t"
                   "RightOp=opLT\tRightValue=1000\n");
    EXPECT_EQ(err, "");
}

TEST(CheckCommandTest, ArgumentsWithBreaksStayOnTheirLine) {
    std::string out, err;
    ASSERT_EQ(RunCheck({"A(PosText('a\tb\\c\nd')>0)"}, out, err), 0) << err;
    EXPECT_NE(out.find("\tArgument=a\\tb\\\\c\\nd\t"), std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
}

TEST(CheckCommandTest, EmptyPathHasNoSteps) {
    std::string out, err;
    EXPECT_EQ(RunCheck({"."}, out, err), 0);
    EXPECT_EQ(out, "");
}

TEST(CheckCommandTest, ParserMessageGoesToStderr) {
    std::string out, err;
    EXPECT_EQ(RunCheck({"TABLE.FOO"}, out, err), 1);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "Unknown TagName : FOO !\n");
    EXPECT_EQ(RunCheck({"A[0]"}, out, err), 1);
    EXPECT_EQ(err, "NodePath express is invalid in 'A[0]'\n");
}

TEST(CheckCommandTest, UsageErrors) {
    std::string out, err;
    EXPECT_EQ(RunCheck({}, out, err), 2);
    EXPECT_EQ(RunCheck({"A", "B"}, out, err), 2);
    EXPECT_NE(err.find("check NODEPATH"), std::string::npos);
}

} // namespace
} // namespace linkvane
