#include "cli/Cli.h"
#include "testlib/TestHttpServer.h"
#include "testlib/TestUtil.h"

#include <QUrl>

#include <gtest/gtest.h>
#include <sstream>

namespace linkvane {
namespace {

int RunQuery(const std::vector<std::string>& args, std::string& out, std::string& err) {
    std::ostringstream o, e;
    std::vector<std::string> all = {"query"};
    all.insert(all.end(), args.begin(), args.end());
    const int rc = cli::RunCli(all, o, e);
    out = o.str();
    err = e.str();
    return rc;
}

class QueryCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        page = dir.Write("page.html",
                         "<title>T</title><body><table><tr><td id=c1>one\\two</td><td>x</td></tr>"
                         "<tr><td><a href=' docs/a b.pdf '>  PDF\n file </a></td>"
                         "<td><img src=pic.png alt=picture></td></tr></table>"
                         "<a href='back\\slash.html'>line<br>break</a><embed src=m.swf>"
                         "<a>no address</a><a href=\"x&#9;y.html\">tab</a>");
        base = QUrl::fromLocalFile(QString::fromStdString(dir.Path())).toString().toStdString();
    }
    test::TempDir dir;
    std::string page;
    std::string base;
};

TEST_F(QueryCommandTest, PrintsPositionAddressAndText) {
    std::string out, err;
    ASSERT_EQ(RunQuery({page, ".A"}, out, err), 0) << err;
    // Addresses resolved and trimmed (a backslash is a slash in http and file
    // addresses, a tab inside is dropped, as browsers do); texts trimmed with
    // their line breaks escaped.
    EXPECT_EQ(out, "0\t" + base + "/docs/a%20b.pdf\tPDF file\n" + "1\t" + base +
                       "/back/slash.html\tline\\nbreak\n" + "2\t\tno address\n" + "3\t" + base +
                       "/xy.html\ttab\n");
    EXPECT_EQ(err, "");
}

TEST_F(QueryCommandTest, OtherElementsGiveTheirHtml) {
    std::string out, err;
    ASSERT_EQ(RunQuery({page, "TR[1#]"}, out, err), 0) << err;
    EXPECT_EQ(out, "0\t<tr><td id=\"c1\">one\\\\two</td><td>x</td></tr>\tone\\\\two\\tx\n");
    ASSERT_EQ(RunQuery({page, "TD(PosText('x')>0)"}, out, err), 0) << err;
    EXPECT_EQ(out, "1\t<td>x</td>\tx\n");
    ASSERT_EQ(RunQuery({page, "IMAGES('*')"}, out, err), 0) << err;
    EXPECT_EQ(out, "0\t" + base + "/pic.png\t\n");
    ASSERT_EQ(RunQuery({page, "EMBEDS('*.swf')"}, out, err), 0) << err;
    EXPECT_EQ(out, "0\t" + base + "/m.swf\t\n");
}

TEST_F(QueryCommandTest, BaseUrlActsAsTheAddress) {
    std::string out, err;
    ASSERT_EQ(RunQuery({"--base-url", "http://example.com/dir/page.html", page, "LINKS('*.pdf')"},
                       out, err),
              0)
        << err;
    EXPECT_EQ(out, "0\thttp://example.com/dir/docs/a%20b.pdf\tPDF file\n");
    ASSERT_EQ(
        RunQuery({"--engine=static", "--base-url=http://example.com/", page, "A[4#]"}, out, err), 0)
        << err;
    EXPECT_EQ(out, "0\thttp://example.com/xy.html\ttab\n");
}

TEST_F(QueryCommandTest, LoadsUrls) {
    test::TestHttpServer server;
    server.Page("/list/", "<a href=a.html>A</a> <a href=/b.pdf>B</a>");
    server.Redirect("/moved", "/list/");
    server.Start();
    std::string out, err;
    ASSERT_EQ(RunQuery({server.Url("/moved"), "LINKS('*.pdf')"}, out, err), 0) << err;
    EXPECT_EQ(out, "1\t" + server.Url("/b.pdf") + "\tB\n");
    ASSERT_EQ(RunQuery({server.Url("/list/"), "A[1#]"}, out, err), 0) << err;
    EXPECT_EQ(out, "0\t" + server.Url("/list/a.html") + "\tA\n");
}

TEST_F(QueryCommandTest, NoMatchPrintsNothing) {
    std::string out, err;
    EXPECT_EQ(RunQuery({page, "FORM"}, out, err), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
}

TEST_F(QueryCommandTest, ErrorsAndUsage) {
    std::string out, err;
    EXPECT_EQ(RunQuery({page, "TABLE.FOO"}, out, err), 1);
    EXPECT_EQ(err, "Unknown TagName : FOO !\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(RunQuery({page, "LINKS('[x')"}, out, err), 1);
    EXPECT_EQ(err, "'[x' is an invalid mask at (3)\n");

    // A page that cannot be loaded is an error, not an empty list.
    EXPECT_EQ(RunQuery({dir.File("missing.html"), "A"}, out, err), 1);
    EXPECT_EQ(err.rfind("Cannot open file://", 0), 0u) << err;
    EXPECT_EQ(out, "");

    EXPECT_EQ(RunQuery({page}, out, err), 2);
    EXPECT_NE(err.find("usage: linkvane-cli query"), std::string::npos);
    EXPECT_EQ(RunQuery({page, "A", "--engine"}, out, err), 2);
    EXPECT_NE(err.find("'--engine' needs a value"), std::string::npos);
    EXPECT_NE(err.find("usage: linkvane-cli query"), std::string::npos);
    EXPECT_EQ(RunQuery({"--depth", "3", page, "A"}, out, err), 2);
    EXPECT_NE(err.find("unknown option '--depth'"), std::string::npos);
    EXPECT_EQ(RunQuery({"--engine", "nosuch", page, "A"}, out, err), 2);
    EXPECT_NE(err.find("Unknown browser engine: nosuch"), std::string::npos);
    EXPECT_EQ(
        RunQuery({"--base-url", "http://example.com/", "http://127.0.0.1:9/x", "A"}, out, err), 2);
    EXPECT_NE(err.find("--base-url needs a local file"), std::string::npos);
}

} // namespace
} // namespace linkvane
