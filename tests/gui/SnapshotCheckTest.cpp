// Reading the start tags of a serialized page, which decides whether the
// snapshot's elements line up with the live page's.
#include "gui/SnapshotCheck.h"

#include <gtest/gtest.h>

namespace linkvane {
namespace {

TEST(SerializedStartTags, ReadsOnlyRealStartTags) {
    const struct {
        const char* Html;
        std::vector<std::string> Tags;
    } cases[] = {
        {"<!DOCTYPE html><html><head></head><body><p>a &lt;b&gt; c</p></body></html>",
         {"html", "head", "body", "p"}},
        {"<div title=\"a > <b>\" class=\"x\"><A HREF=\"/\">x</A></div>", {"div", "a"}},
        {"<p><!-- <a href=x> --></p><br>", {"p", "br"}},
        {"<script>if (a < b) document.write('<i>')</script><b>", {"script", "b"}},
        {"<style>p > a {}</STYLE><i>", {"style", "i"}},
        {"<textarea>&lt;a&gt;</textarea><svg><foreignObject></foreignObject></svg>",
         {"textarea", "svg", "foreignobject"}},
        {"<template><a><template><b></b></template></a></template><i></i>", {"template", "i"}},
        {"<p>1 < 2 and 3 <4</p>", {"p"}},
        {"<plaintext><a href=x>", {"plaintext"}},
        {"<script>never closed <a>", {"script"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SerializedStartTags(c.Html), c.Tags) << c.Html;
}

TEST(ElementsMatchSerialization, TellsWhereTheParserRebuiltTheTree) {
    const auto matches = [](const std::string& Html) {
        TDocumentOptions options;
        options.ForceUtf8 = true;
        return ElementsMatchSerialization(ParseHtmlDocument(Html, options), Html);
    };
    EXPECT_TRUE(matches("<html><head></head><body><table><tbody><tr><td>x</td></tr></tbody>"
                        "</table></body></html>"));
    // A DIV inside a TABLE is moved in front of it; a TR without TBODY gets one.
    EXPECT_FALSE(matches("<html><head></head><body><table><tbody></tbody><div>d</div></table>"
                         "</body></html>"));
    EXPECT_FALSE(matches("<html><head></head><body><table><tr><td>x</td></tr></table>"
                         "</body></html>"));
    // TEMPLATE content is in neither.
    EXPECT_TRUE(matches("<html><head></head><body><template><a>t</a></template><a>b</a>"
                        "</body></html>"));
}

} // namespace
} // namespace linkvane
