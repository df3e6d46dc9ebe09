#include "gui/SnapshotCheck.h"

#include "support/TextTrim.h"

#include <algorithm>
#include <array>

namespace linkvane {
namespace {

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsTagNameEnd(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '/' || c == '>';
}

/// Elements whose content the parser reads as text up to their end tag.
bool IsRawText(std::string_view Name) {
    static const std::array<const char*, 6> raw = {"script", "style",   "xmp",
                                                   "iframe", "noembed", "noframes"};
    return std::any_of(raw.begin(), raw.end(),
                       [&](const char* r) { return SameTextAscii(Name, r); });
}

/// The position of "</Name" (letter case ignored) at or after From; npos when none.
size_t FindEndTag(std::string_view Html, std::string_view Name, size_t From) {
    for (size_t at = Html.find("</", From); at != std::string_view::npos;
         at = Html.find("</", at + 2)) {
        if (at + 2 + Name.size() > Html.size())
            return std::string_view::npos;
        if (SameTextAscii(Html.substr(at + 2, Name.size()), Name))
            return at;
    }
    return std::string_view::npos;
}

/// Calls Visit with the name of each start tag of Html (as written), in order.
template <typename TVisit> void ForEachStartTag(std::string_view Html, TVisit&& Visit) {
    int templateDepth = 0;
    size_t i = 0;
    while ((i = Html.find('<', i)) != std::string_view::npos) {
        if (Html.substr(i, 4) == "<!--") {
            const size_t end = Html.find("-->", i + 4);
            if (end == std::string_view::npos)
                return;
            i = end + 3;
            continue;
        }
        if (i + 1 >= Html.size())
            return;
        const char next = Html[i + 1];
        if (next == '!' || next == '?') {
            const size_t end = Html.find('>', i);
            if (end == std::string_view::npos)
                return;
            i = end + 1;
            continue;
        }
        const bool isEnd = next == '/';
        const size_t nameStart = i + (isEnd ? 2 : 1);
        if (nameStart >= Html.size() || !IsAsciiLetter(Html[nameStart])) {
            ++i; // a "<" of text
            continue;
        }
        size_t k = nameStart;
        while (k < Html.size() && !IsTagNameEnd(Html[k]))
            ++k;
        const std::string_view name = Html.substr(nameStart, k - nameStart);
        // The rest of the tag: attribute values may hold ">".
        bool quoted = false;
        while (k < Html.size() && (quoted || Html[k] != '>')) {
            if (Html[k] == '"')
                quoted = !quoted;
            ++k;
        }
        i = k + 1;
        if (isEnd) {
            if (templateDepth > 0 && SameTextAscii(name, "template"))
                --templateDepth;
            continue;
        }
        if (templateDepth == 0)
            Visit(name);
        if (SameTextAscii(name, "template")) {
            ++templateDepth;
        } else if (SameTextAscii(name, "plaintext")) {
            return; // the rest is text
        } else if (IsRawText(name)) {
            const size_t end = FindEndTag(Html, name, i);
            if (end == std::string_view::npos)
                return;
            i = end;
        }
    }
}

} // namespace

std::vector<std::string> SerializedStartTags(std::string_view Html) {
    std::vector<std::string> tags;
    ForEachStartTag(Html, [&tags](std::string_view Name) { tags.push_back(LowerAscii(Name)); });
    return tags;
}

bool ElementsMatchSerialization(const TNode& Document, std::string_view Html) {
    const TNode all = Document.All();
    const int32_t count = all.Length();
    int32_t i = 0;
    bool same = true;
    ForEachStartTag(Html, [&](std::string_view Name) {
        same = same && i < count && SameTextAscii(all.Item(i).TagName(), Name);
        ++i;
    });
    return same && i == count;
}

} // namespace linkvane
