#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace linkvane {

/// Text helpers over 8-bit (UTF-8) text built on the searches of FastStrings.
/// Positions are 1-based byte positions; 0 means not found.

/// Where one segment of a star pattern was found.
struct TSubStrPos {
    int32_t Position = 0;
    int32_t Length = 0;
};
/// One entry per segment of a star pattern, in pattern order.
using TSubStrPosArray = std::vector<TSubStrPos>;

/// Searches Pattern in the whole of Text from StartPos, forwards or backwards
/// (see SearchForward and SearchBackward), exactly or ignoring the case of
/// ASCII letters. An empty pattern or an empty text gives 0.
int32_t SearchText(std::string_view Pattern, std::string_view Text, bool CaseSensitive,
                   int32_t StartPos, bool Forward);

/// The first position at or after StartPos holding Ch, or 0; 0 as well when S
/// is empty or StartPos lies past its end.
int32_t CharPosFrom(std::string_view S, char Ch, int32_t StartPos);

/// Count bytes of S from Index, cut at the end of S. Empty when S is empty,
/// Index < 1, Count < 1 or Index lies past the end.
std::string CopyClipped(std::string_view S, int32_t Index, int32_t Count);

/// The text after the first StartMark and before the next EndMark (an empty
/// mark stands for the start or the end of the text). The end mark is sought
/// from the second byte after the start mark, so the result is never empty
/// because the marks touch: "[][x]" between "[" and "]" is "][x". Empty when
/// a mark is not found.
std::string TextBetween(std::string_view Text, std::string_view StartMark, std::string_view EndMark,
                        bool CaseSensitive);

/// The text that the "*" of Pattern stands for: Pattern before its first "*"
/// is the start mark and at most 255 bytes after it the end mark (further
/// stars in it are plain characters), as in TextBetween. "id=*&" on
/// "a.php?id=42&p=1" gives "42". Empty when Pattern holds no "*".
std::string TextByStarPattern(std::string_view Text, std::string_view Pattern, bool CaseSensitive);

/// Finds the segments of a star pattern ("*" stands for any text, never
/// anchoring the match) in order in Text[StartPos..TextLen]. On success
/// FirstPos is where the match starts and LastPos the position of its last
/// byte. The match ends at the first place where all segments can be
/// completed and starts at the last occurrence of the first segment before the
/// rest: "(*)" in "((x)" spans 2 to 4. The pattern "*" matches the whole
/// stretch; a pattern of stars only, or an empty one, matches nothing.
/// Positions, when given, receives each segment's place (left empty for "*").
bool MatchStarPattern(std::string_view Text, std::string_view Pattern, int32_t TextLen,
                      int32_t StartPos, bool CaseSensitive, int32_t& FirstPos, int32_t& LastPos,
                      TSubStrPosArray* Positions = nullptr);

/// At most MaxBytes bytes of S, cut so that no UTF-8 character is split.
std::string Utf8Prefix(std::string_view S, size_t MaxBytes);

} // namespace linkvane
