#include "support/KeywordList.h"

#include <gtest/gtest.h>

namespace linkvane {
namespace {

using Items = std::vector<std::string>;

TEST(KeywordListTest, ReadingRule) {
    const struct {
        const char* text;
        Items items;
    } cases[] = {
        {"", {}},
        {"   ", {}},
        {"a", {"a"}},
        {"a;b", {"a", "b"}},
        {"a;", {"a", ""}},
        {"a;;b", {"a", "", "b"}},
        {"next page", {"next", "page"}},
        {"\"next page\";x", {"next page", "x"}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"\"unclosed item", {"unclosed item"}},
        {"  a ;  b  ", {"a", "b"}},
        {"\"\"", {""}},
        {"a\tb", {"a", "b"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeywordTextToList(c.text), c.items) << c.text;
    }
}

TEST(KeywordListTest, WritingRule) {
    const struct {
        Items items;
        const char* text;
    } cases[] = {
        {{}, ""},
        {{""}, "\"\""},
        {{"a", "b"}, "a;b"},
        {{"next page"}, "\"next page\""},
        {{"semi;colon", "q\"uote"}, "\"semi;colon\";\"q\"\"uote\""},
        {{"a", ""}, "a;"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeywordListToText(c.items), c.text);
        EXPECT_EQ(KeywordTextToList(c.text), c.items) << c.text;
    }
}

} // namespace
} // namespace linkvane
