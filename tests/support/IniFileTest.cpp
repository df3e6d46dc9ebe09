#include "support/IniFile.h"

#include "support/Exception.h"
#include "testlib/TestUtil.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace linkvane {
namespace {

struct ValueCase {
    const char* line; // the text after "key="
    const char* expected;
};

TEST(IniFileTest, ReadsValuesByTheReadingRule) {
    const ValueCase cases[] = {
        {"plain", "plain"},
        {"  blanks around  ", "blanks around"},
        {"\"double quoted\"", "double quoted"},
        {"'single quoted'", "single quoted"},
        {"\" inner blanks kept \"", " inner blanks kept "},
        {"\"mixed'", "\"mixed'"},
        {"\"", "\""},
        {"\"\"", ""},
        {"\"a\";\"b\"", "a\";\"b"},
        {"a=b=c", "a=b=c"},
        {"", ""},
    };
    for (const auto& c : cases) {
        TIniFile ini;
        ini.SetText(std::string("[S]\r\nkey=") + c.line + "\r\n");
        EXPECT_EQ(ini.ReadString("S", "key", "default"), c.expected) << c.line;
    }
}

TEST(IniFileTest, SectionsAndKeysMatchWithoutCaseFirstOneWins) {
    TIniFile ini;
    ini.SetText("; comment\n[input]\nKEY = one\nkey=two\n[Other]\nkey=three\n[INPUT]\nkey=four\n");
    EXPECT_EQ(ini.ReadString("Input", "Key", "x"), "one");
    EXPECT_EQ(ini.ReadString("other", "KEY", "x"), "three");
    EXPECT_EQ(ini.ReadString("Missing", "key", "x"), "x");
    EXPECT_EQ(ini.ReadString("Input", "nokey", "x"), "x");
    EXPECT_FALSE(ini.ValueExists("Input", "; comment"));
}

TEST(IniFileTest, LongValuesAreCutTo2047Characters) {
    TIniFile ini;
    ini.SetText("[S]\nk=" + std::string(3000, 'v') + "\n");
    EXPECT_EQ(ini.ReadString("S", "k", "").size(), 2047u);
    // A cut never splits a UTF-8 character.
    ini.SetText("[S]\nk=" + std::string(2046, 'v') + "\xC3\xA4" + "\n");
    EXPECT_EQ(ini.ReadString("S", "k", ""), std::string(2046, 'v'));
}

TEST(IniFileTest, IntegersDecimalHexadecimalOrDefault) {
    const struct {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"42", 42},          {"-7", -7},    {"+5", 5},         {"0x3", 3},
        {"0X1f", 31},        {"$10", 16},   {"$FFFFFFFF", -1}, {"2147483647", 2147483647},
        {"2147483648", -99}, {"word", -99}, {"", -99},         {"12abc", -99},
        {"0x", -99},         {"-", -99},    {" 8 ", 8},        {"\"9\"", 9},
    };
    for (const auto& c : cases) {
        TIniFile ini;
        ini.SetText(std::string("[S]\nn=") + c.text + "\n");
        EXPECT_EQ(ini.ReadInteger("S", "n", -99), c.expected) << c.text;
    }
}

TEST(IniFileTest, WritesReplaceInPlaceAddToSectionOrAddSection) {
    TIniFile ini;
    ini.SetText("; head comment\r\n[A]\r\nx=1\r\n; keep me\r\ny=2\r\n\r\n[B]\r\nz=3\r\n");
    ini.WriteString("a", "Y", "22");
    ini.WriteString("A", "new", "n");
    ini.WriteString("C", "c", "v");
    ini.WriteInteger("B", "z", -4);
    EXPECT_EQ(ini.Text(), "; head comment\r\n[A]\r\nx=1\r\n; keep me\r\nY=22\r\nnew=n\r\n\r\n"
                          "[B]\r\nz=-4\r\n[C]\r\nc=v\r\n");
}

TEST(IniFileTest, WrittenValuesReadBackUnchanged) {
    const std::string values[] = {
        "\"next page\"", "'quoted'",           "\"a\";\"b\"", "  lead", "trail  ", " both ",
        "semi;colon",    "a \"quote\" inside", "\"",          "''",     "",        "plain",
    };
    for (const auto& v : values) {
        TIniFile ini;
        ini.WriteString("S", "k", v);
        TIniFile back;
        back.SetText(ini.Text());
        EXPECT_EQ(back.ReadString("S", "k", "default"), v) << v;
    }
}

TEST(IniFileTest, SaveKeepsOldFileWhenItCannotBeWritten) {
    test::TempDir dir;
    TIniFile ini;
    ini.WriteString("S", "k", "new");

    const std::string readOnly = dir.Write("ro.lvt", "[S]\r\nk=old\r\n");
    ::chmod(readOnly.c_str(), 0444);
    EXPECT_EQ(test::ErrorOf([&] { ini.SaveToFile(readOnly); }), "Unable to write to " + readOnly);
    EXPECT_EQ(test::ReadFileBytes(readOnly), "[S]\r\nk=old\r\n");

    const std::string missingFolder = dir.File("no/such/folder/t.lvt");
    EXPECT_THROW(ini.SaveToFile(missingFolder), Exception);

    const std::string fine = dir.File("fine.lvt");
    ini.SaveToFile(fine);
    EXPECT_EQ(test::ReadFileBytes(fine), "[S]\r\nk=new\r\n");
}

} // namespace
} // namespace linkvane
