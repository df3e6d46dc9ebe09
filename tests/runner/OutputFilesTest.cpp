#include "runner/OutputFiles.h"
#include "runner/EntryList.h"

#include "support/Exception.h"
#include "testlib/TestUtil.h"

#include <gtest/gtest.h>

namespace linkvane {
namespace {

TEST(OutputFilesTest, LinkLineOfEveryLayout) {
    const struct {
        int layout;
        const char* extra;
        const char* line;
    } cases[] = {
        {0, "", "http://u/"},
        {1, "", "Text"},
        {2, "", "http://u/\tText"},
        {3, "", "Text\thttp://u/"},
        {4, "", "Text"},
        {5, "", "http://src/\thttp://u/"},
        {6, "", ""},
        {255, "", ""},
        {0, "ex", "http://u/\tex"},
        {4, "ex", "Text\tex"},
        {6, "ex", "\tex"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildLinkLine(c.layout, "http://u/", "Text", c.extra, "http://src/"), c.line)
            << c.layout << " " << c.extra;
    }
}

TEST(OutputFilesTest, LineBreaksInsideValuesBecomeOneBlank) {
    EXPECT_EQ(OneLine("a\r\nb\n\nc\rd"), "a b c d");
    EXPECT_EQ(OneLine("\nlead"), " lead");
    EXPECT_EQ(OneLine("tab\tstays"), "tab\tstays");
    EXPECT_EQ(BuildLinkLine(2, "http://u/", "two\r\nlines", "ex\ntra", ""),
              "http://u/\ttwo lines\tex tra");
}

TEST(OutputFilesTest, AppendCreatesFoldersAndNeverEmpties) {
    test::TempDir dir;
    const std::string name = dir.File("deep/er/out_URL.txt");
    AppendLineToFile(name, "one");
    AppendLineToFile(name, "two");
    EXPECT_EQ(test::ReadFileBytes(name), "one\r\ntwo\r\n");

    TOutputTextFile file;
    file.OpenForAppend(name);
    file.WriteLine("three");
    file.Close();
    EXPECT_EQ(test::ReadFileBytes(name), "one\r\ntwo\r\nthree\r\n");
}

TEST(OutputFilesTest, OpeningAMissingFileFails) {
    test::TempDir dir;
    TOutputTextFile file;
    EXPECT_EQ(test::ErrorOf([&] { file.OpenForAppend(dir.File("missing.txt")); }),
              "File not found");
    EXPECT_THROW(file.OpenForAppend(""), Exception);
    // A folder cannot be created below a file.
    const std::string blocker = dir.Write("blocker", "");
    EXPECT_THROW(CreateFileIfMissing(blocker + "/sub/out.txt"), Exception);
}

TEST(EntryListTest, LineRules) {
    const struct {
        const char* text;
        QStringList lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"a\n\nb\n", {"a", "", "b"}},
        {"\n", {""}},
        {" .  \n.", {" .  ", "."}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitEntryLines(QString::fromUtf8(c.text)), c.lines) << c.text;
    }
}

TEST(EntryListTest, ReadsEightBitAndUtf16FilesUpToANul) {
    test::TempDir dir;
    const std::string utf8 = dir.Write("u8.txt", std::string("http://a/\xC3\xA4\r\nb\0c\nd", 19));
    EXPECT_EQ(ReadEntryListFile(utf8, false),
              (QStringList{QString::fromUtf8("http://a/\xC3\xA4"), "b"}));

    // UTF-16 LE with a byte-order mark, which stays part of the first entry.
    const std::u16string text = u"\uFEFFx\r\ny\u00E9\n";
    std::string bytes;
    for (char16_t ch : text) {
        bytes += static_cast<char>(ch & 0xFF);
        bytes += static_cast<char>(ch >> 8);
    }
    const std::string utf16 = dir.Write("u16.txt", bytes);
    EXPECT_EQ(ReadEntryListFile(utf16, true),
              (QStringList{QString(QChar(0xFEFF)) + "x", QString::fromUtf16(u"y\u00E9")}));
}

TEST(EntryListTest, MissingFileMessage) {
    EXPECT_EQ(test::ErrorOf([] { ReadEntryListFile("/no/such/list.txt", false); }),
              "Cannot open file \"/no/such/list.txt\". No such file or directory");
    EXPECT_THROW(ReadEntryListFile("", false), Exception);
    EXPECT_THROW(ReadEntryListFile("/tmp", false), Exception);
}

} // namespace
} // namespace linkvane
