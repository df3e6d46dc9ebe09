// MatchStarPattern (and TextByStarPattern) on any text: a reported match
// holds every segment in order, without overlaps, inside the searched
// stretch, and a match is reported exactly when one exists.
//
// Input: byte 0 the pattern's length, byte 1 StartPos, byte 2 how much of the
// text's end TextLen leaves out, byte 3 bit 0 CaseSensitive; then the
// pattern, then the text.
#include "support/FastStringUtils.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace linkvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) {
        return 0;
    }
    const char* bytes = reinterpret_cast<const char*>(data);
    const size_t patLen = std::min<size_t>(data[0], size - 4);
    const std::string pattern(bytes + 4, patLen);
    const std::string text(bytes + 4 + patLen, size - 4 - patLen);
    const int32_t len = static_cast<int32_t>(text.size());
    const int32_t startPos = data[1] % 8; // 0 counts as 1
    const int32_t textLen = len - data[2] % 8;
    const bool caseSensitive = (data[3] & 1) != 0;

    (void)TextByStarPattern(text, pattern, caseSensitive);

    int32_t first = 0;
    int32_t last = 0;
    TSubStrPosArray pos;
    const bool found =
        MatchStarPattern(text, pattern, textLen, startPos, caseSensitive, first, last, &pos);

    const int32_t from = std::max(startPos, 1);
    const int32_t to = std::min(textLen, len);
    std::vector<std::string> segments;
    std::string cur;
    for (char c : pattern + "*") {
        if (c == '*') {
            if (!cur.empty()) {
                segments.push_back(cur);
            }
            cur.clear();
        } else {
            cur += c;
        }
    }
    // Leftmost placement decides whether the segments fit in order.
    bool exists = to >= from && to > 0 && !pattern.empty() && (pattern == "*" || !segments.empty());
    const std::string stretch = exists ? text.substr(0, static_cast<size_t>(to)) : std::string();
    int32_t at = from;
    for (size_t i = 0; exists && pattern != "*" && i < segments.size(); ++i) {
        const int32_t p = SearchText(segments[i], stretch, caseSensitive, at, true);
        exists = p != 0;
        at = p + static_cast<int32_t>(segments[i].size());
    }
    if (found != exists) {
        std::abort();
    }
    if (!found) {
        if (first != 0 || last != 0) {
            std::abort();
        }
        return 0;
    }
    if (pattern == "*") {
        if (first != from || last != to) {
            std::abort();
        }
        return 0;
    }
    if (pos.size() != segments.size() || first != pos.front().Position ||
        last != pos.back().Position + pos.back().Length - 1 || first < from || last > to) {
        std::abort();
    }
    int32_t end = 0;
    for (size_t i = 0; i < segments.size(); ++i) {
        if (pos[i].Position <= end || pos[i].Length != static_cast<int32_t>(segments[i].size())) {
            std::abort();
        }
        const std::string piece = text.substr(pos[i].Position - 1, pos[i].Length);
        if (SearchText(segments[i], piece, caseSensitive, 1, true) != 1) {
            std::abort();
        }
        end = pos[i].Position + pos[i].Length - 1;
    }
    return 0;
}
