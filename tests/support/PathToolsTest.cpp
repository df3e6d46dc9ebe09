#include "support/PathTools.h"

#include "testlib/TestUtil.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace linkvane {
namespace {

TEST(PathToolsTest, ExpandRelativePath) {
    test::TempDir dir;
    const std::string task = dir.Write("tasks/t.lvt", "");
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(ExpandRelativePath(task, "list.txt"), dir.Path() + "/tasks/list.txt");
    EXPECT_EQ(ExpandRelativePath(task, "../out/r.txt"), dir.Path() + "/out/r.txt");
    EXPECT_EQ(ExpandRelativePath(task, "sub\\list.txt"), dir.Path() + "/tasks/sub/list.txt");
    EXPECT_EQ(ExpandRelativePath(task, "/abs/./x/../y.txt"), "/abs/y.txt");
    EXPECT_EQ(ExpandRelativePath(task, ""), "");
    EXPECT_EQ(ExpandRelativePath("", "a.txt"), cwd + "/a.txt");
    EXPECT_EQ(ExpandRelativePath("/no/such/folder/t.lvt", "a.txt"), cwd + "/a.txt");
    // The process's current folder is never changed.
    EXPECT_EQ(std::filesystem::current_path().string(), cwd);
}

TEST(PathToolsTest, ConnectionStringForFile) {
    EXPECT_EQ(ConnectionStringForFile("/d/Links.udl"), "FILE NAME=/d/Links.udl");
    EXPECT_EQ(ConnectionStringForFile("/d/LINKS.UDL"), "FILE NAME=/d/LINKS.UDL");
    EXPECT_EQ(ConnectionStringForFile("/d/db.MDB"),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d/db.MDB;");
    EXPECT_EQ(ConnectionStringForFile("/d/db.accdb"), "");
    EXPECT_EQ(ConnectionStringForFile("/d/links.txt"), "");
    EXPECT_EQ(ConnectionStringForFile("/d.udl/noext"), "");
}

TEST(PathToolsTest, ChangeFileExt) {
    EXPECT_EQ(ChangeFileExt("/d/out.txt", "_URL.txt"), "/d/out_URL.txt");
    EXPECT_EQ(ChangeFileExt("/d/out", "_URL.txt"), "/d/out_URL.txt");
    EXPECT_EQ(ChangeFileExt("/d.x/out", "_URL.txt"), "/d.x/out_URL.txt");
    EXPECT_EQ(ChangeFileExt("/d/a.b.c", "_URL.txt"), "/d/a.b_URL.txt");
}

} // namespace
} // namespace linkvane
