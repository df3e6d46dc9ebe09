#include "support/FastStringUtils.h"

#include "support/FastStrings.h"

#include <limits>

namespace linkvane {
namespace {

int32_t Len(std::string_view s) {
    constexpr size_t max = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(s.size() < max ? s.size() : max);
}

int32_t SearchFwd(std::string_view text, int32_t textLen, std::string_view pattern,
                  int32_t startPos, bool caseSensitive) {
    return caseSensitive
               ? SearchForward(text.data(), pattern.data(), textLen, Len(pattern), startPos)
               : SearchForwardNoCase(text.data(), pattern.data(), textLen, Len(pattern), startPos);
}

int32_t SearchBwd(std::string_view text, int32_t textLen, std::string_view pattern,
                  int32_t startPos, bool caseSensitive) {
    return caseSensitive
               ? SearchBackward(text.data(), pattern.data(), textLen, Len(pattern), startPos)
               : SearchBackwardNoCase(text.data(), pattern.data(), textLen, Len(pattern), startPos);
}

} // namespace

int32_t SearchText(std::string_view Pattern, std::string_view Text, bool CaseSensitive,
                   int32_t StartPos, bool Forward) {
    if (Pattern.empty() || Text.empty()) {
        return 0;
    }
    return Forward ? SearchFwd(Text, Len(Text), Pattern, StartPos, CaseSensitive)
                   : SearchBwd(Text, Len(Text), Pattern, StartPos, CaseSensitive);
}

int32_t CharPosFrom(std::string_view S, char Ch, int32_t StartPos) {
    if (S.empty() || StartPos > Len(S)) {
        return 0;
    }
    const size_t from = StartPos < 1 ? 0 : static_cast<size_t>(StartPos - 1);
    const size_t at = S.find(Ch, from);
    return at == std::string_view::npos ? 0 : static_cast<int32_t>(at + 1);
}

std::string CopyClipped(std::string_view S, int32_t Index, int32_t Count) {
    if (S.empty() || Index < 1 || Count < 1 || Index > Len(S)) {
        return {};
    }
    return std::string(S.substr(static_cast<size_t>(Index - 1), static_cast<size_t>(Count)));
}

std::string TextBetween(std::string_view Text, std::string_view StartMark, std::string_view EndMark,
                        bool CaseSensitive) {
    int64_t from = 1;
    int64_t to = Len(Text);
    int32_t endSearch = 1;
    if (!StartMark.empty()) {
        const int32_t p = SearchText(StartMark, Text, CaseSensitive, 1, true);
        if (p == 0) {
            return {};
        }
        from = static_cast<int64_t>(p) + Len(StartMark);
        endSearch =
            static_cast<int32_t>(std::min<int64_t>(from + 1, std::numeric_limits<int32_t>::max()));
    }
    if (!EndMark.empty()) {
        const int32_t q = SearchText(EndMark, Text, CaseSensitive, endSearch, true);
        if (q == 0) {
            return {};
        }
        to = q - 1;
    }
    if (to < from || to < 1) {
        return {};
    }
    return std::string(
        Text.substr(static_cast<size_t>(from - 1), static_cast<size_t>(to - from + 1)));
}

std::string TextByStarPattern(std::string_view Text, std::string_view Pattern, bool CaseSensitive) {
    const size_t star = Pattern.find('*');
    if (star == std::string_view::npos) {
        return {};
    }
    const std::string endMark = Utf8Prefix(Pattern.substr(star + 1), 255);
    return TextBetween(Text, Pattern.substr(0, star), endMark, CaseSensitive);
}

bool MatchStarPattern(std::string_view Text, std::string_view Pattern, int32_t TextLen,
                      int32_t StartPos, bool CaseSensitive, int32_t& FirstPos, int32_t& LastPos,
                      TSubStrPosArray* Positions) {
    FirstPos = 0;
    LastPos = 0;
    if (Positions) {
        Positions->clear();
    }
    if (TextLen > Len(Text)) {
        TextLen = Len(Text);
    }
    if (StartPos < 1) {
        StartPos = 1;
    }
    if (TextLen < StartPos || TextLen <= 0 || Pattern.empty()) {
        return false;
    }
    if (Pattern == "*") {
        FirstPos = StartPos;
        LastPos = TextLen;
        return true;
    }

    std::vector<std::string_view> segments;
    for (size_t from = 0; from <= Pattern.size();) {
        size_t star = Pattern.find('*', from);
        if (star == std::string_view::npos) {
            star = Pattern.size();
        }
        if (star > from) {
            segments.push_back(Pattern.substr(from, star - from));
        }
        from = star + 1;
    }
    if (segments.empty()) {
        return false;
    }

    const size_t n = segments.size();
    TSubStrPosArray localPositions;
    TSubStrPosArray& pos = Positions ? *Positions : localPositions;
    pos.resize(n);
    int64_t cur = StartPos;
    for (size_t i = 0; i < n; ++i) {
        if (cur > TextLen) {
            pos.clear();
            return false;
        }
        const int32_t at =
            SearchFwd(Text, TextLen, segments[i], static_cast<int32_t>(cur), CaseSensitive);
        if (at == 0) {
            pos.clear();
            return false;
        }
        pos[i] = {at, Len(segments[i])};
        cur = static_cast<int64_t>(at) + pos[i].Length;
    }
    FirstPos = pos[0].Position;
    LastPos = pos[n - 1].Position + pos[n - 1].Length - 1;

    // Tightening: when the first segment occurs again before the last one,
    // move every segment but the last to its latest place before the next
    // segment. Each segment must end before the next one begins; the matched
    // stretch then still holds every segment in order.
    if (n >= 2) {
        const int64_t again = static_cast<int64_t>(pos[0].Position) + pos[0].Length;
        const int32_t beforeLast = pos[n - 1].Position - 1;
        if (again <= beforeLast && SearchFwd(Text, beforeLast, segments[0],
                                             static_cast<int32_t>(again), CaseSensitive) > 0) {
            for (size_t i = n - 1; i-- > 0;) {
                pos[i].Position = SearchBwd(Text, TextLen, segments[i],
                                            pos[i + 1].Position - pos[i].Length, CaseSensitive);
            }
            FirstPos = pos[0].Position;
        }
    }
    return true;
}

std::string Utf8Prefix(std::string_view S, size_t MaxBytes) {
    if (S.size() <= MaxBytes) {
        return std::string(S);
    }
    size_t end = MaxBytes;
    while (end > 0 && (static_cast<unsigned char>(S[end]) & 0xC0) == 0x80) {
        --end;
    }
    return std::string(S.substr(0, end));
}

} // namespace linkvane
