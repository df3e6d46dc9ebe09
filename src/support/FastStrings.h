#pragma once

#include <array>
#include <cstdint>

namespace linkvane {

/// Substring search over a stretch of 8-bit (UTF-8) text.
///
/// Positions are 1-based; 0 means not found. Every search takes explicit
/// lengths and a start position, so callers search a prefix or a suffix of a
/// text without copying it: TextLen limits the search to the first TextLen
/// bytes of Text. The searches allocate nothing.

/// The case-fold table: entry b is the upper-case form of byte b. The text is
/// UTF-8, so only the ASCII letters a-z have an upper-case form here; every
/// other byte (including the bytes of multi-byte characters) maps to itself.
extern const std::array<uint8_t, 256> Fold;

/// Fills Skip with the Boyer-Moore-Horspool shifts of Pattern: every entry is
/// PatLen, then for k = 1 .. PatLen-1 in order Skip[Pattern[k]] = PatLen - k
/// (the pattern's last byte takes no part). With NoCase the table is indexed by
/// the folded byte. Raises "BufferLen is 0" when PatLen < 1.
void MakeSkipTable(const char* Pattern, int32_t PatLen, bool NoCase, int32_t (&Skip)[256]);

/// Forward Boyer-Moore-Horspool search of Pattern[1..PatLen] in
/// Text[StartPos..TextLen]: the first position at or after StartPos where the
/// whole pattern lies within the first TextLen bytes, or 0. An empty pattern,
/// a pattern longer than the text or a StartPos past the last place where the
/// pattern fits give 0; a StartPos below 1 counts as 1.
int32_t SearchForward(const char* Text, const char* Pattern, int32_t TextLen, int32_t PatLen,
                      int32_t StartPos);
/// SearchForward comparing Fold[x] with Fold[y].
int32_t SearchForwardNoCase(const char* Text, const char* Pattern, int32_t TextLen, int32_t PatLen,
                            int32_t StartPos);

/// Backward search: the last position at or before StartPos where the whole
/// pattern lies within the first TextLen bytes, or 0. A StartPos of 0, or one
/// where the pattern would run past TextLen, starts at the last position where
/// the pattern fits. A negative StartPos gives 0.
int32_t SearchBackward(const char* Text, const char* Pattern, int32_t TextLen, int32_t PatLen,
                       int32_t StartPos);
/// SearchBackward comparing Fold[x] with Fold[y].
int32_t SearchBackwardNoCase(const char* Text, const char* Pattern, int32_t TextLen, int32_t PatLen,
                             int32_t StartPos);

} // namespace linkvane
