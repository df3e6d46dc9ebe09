#include "support/FastStrings.h"

#include "support/Exception.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace linkvane {
namespace {

constexpr std::array<uint8_t, 256> MakeFoldTable() {
    std::array<uint8_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
        table[b] = static_cast<uint8_t>(b >= 'a' && b <= 'z' ? b - ('a' - 'A') : b);
    }
    return table;
}

const uint8_t* Bytes(const char* s) {
    return reinterpret_cast<const uint8_t*>(s);
}

template <bool NoCase> inline bool Same(uint8_t x, uint8_t y) {
    if constexpr (NoCase) {
        return Fold[x] == Fold[y];
    } else {
        return x == y;
    }
}

/// Whether the bytes between the first and the last of a window equal the
/// pattern's.
template <bool NoCase>
inline bool MiddleEqual(const uint8_t* window, const uint8_t* p, int32_t patLen) {
    if constexpr (!NoCase) {
        return patLen < 3 || std::memcmp(window + 1, p + 1, static_cast<size_t>(patLen - 2)) == 0;
    } else {
        for (int32_t k = 1; k < patLen - 1; ++k) {
            if (Fold[window[k]] != Fold[p[k]]) {
                return false;
            }
        }
        return true;
    }
}

#if defined(__SSE2__)
/// Bytes of a block equal to c (with NoCase: to either case of a letter).
template <bool NoCase> inline __m128i EqualBytes(__m128i block, __m128i upper, __m128i lower) {
    if constexpr (NoCase) {
        return _mm_or_si128(_mm_cmpeq_epi8(block, upper), _mm_cmpeq_epi8(block, lower));
    } else {
        (void)lower;
        return _mm_cmpeq_epi8(block, upper);
    }
}

inline __m128i Broadcast(uint8_t c) {
    return _mm_set1_epi8(static_cast<char>(c));
}

inline uint8_t LowerOf(uint8_t folded) {
    return folded >= 'A' && folded <= 'Z' ? static_cast<uint8_t>(folded + ('a' - 'A')) : folded;
}
#endif

template <bool NoCase>
int32_t Forward(const char* Text, const char* Pattern, int32_t TextLen, int32_t PatLen,
                int32_t StartPos) {
    if (PatLen < 1 || TextLen < PatLen) {
        return 0;
    }
    if (StartPos < 1) {
        StartPos = 1;
    }
    if (StartPos > TextLen - PatLen + 1) {
        return 0;
    }
    const uint8_t* t = Bytes(Text);
    const uint8_t* p = Bytes(Pattern);
    const int32_t last = PatLen - 1;
    // 0-based start of the first window to try and of the last one that fits.
    int64_t start = StartPos - 1;
    const int64_t lastStart = static_cast<int64_t>(TextLen) - PatLen;

#if defined(__SSE2__)
    // Over long stretches, sixteen windows are tested at once: only a window
    // whose first and last bytes fit can match, and the rest of the pattern
    // is compared for those alone. This finds the same first match as the
    // Horspool loop below, which does the remainder and short texts; a
    // Horspool loop is bound by the latency of its two dependent loads per
    // shift and so stays well below what the block test reaches.
    {
        const uint8_t firstFolded = NoCase ? Fold[p[0]] : p[0];
        const uint8_t lastFolded = NoCase ? Fold[p[last]] : p[last];
        const __m128i firstUpper = Broadcast(firstFolded);
        const __m128i firstLower = Broadcast(NoCase ? LowerOf(firstFolded) : firstFolded);
        const __m128i lastUpper = Broadcast(lastFolded);
        const __m128i lastLower = Broadcast(NoCase ? LowerOf(lastFolded) : lastFolded);
        while (start + 15 <= lastStart) {
            const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + start));
            const __m128i tails =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + start + last));
            unsigned mask = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_and_si128(EqualBytes<NoCase>(heads, firstUpper, firstLower),
                                                EqualBytes<NoCase>(tails, lastUpper, lastLower))));
            while (mask != 0) {
                const int bit = __builtin_ctz(mask);
                if (MiddleEqual<NoCase>(t + start + bit, p, PatLen)) {
                    return static_cast<int32_t>(start + bit + 1);
                }
                mask &= mask - 1;
            }
            start += 16;
        }
        if (start > lastStart) {
            return 0;
        }
    }
#endif

    // Boyer-Moore-Horspool. For NoCase the table is re-indexed by the raw
    // text byte (both cases of a letter carry the folded byte's shift), so
    // each shift takes one lookup. The entries of the pattern's last byte
    // become 0, which lets the skip loop run without comparing; the real
    // shift for that byte is kept in lastShift.
    int32_t skip[256];
    MakeSkipTable(Pattern, PatLen, NoCase, skip);
    const uint8_t lastFolded = NoCase ? Fold[p[last]] : p[last];
    const int32_t lastShift = skip[lastFolded];
    if constexpr (NoCase) {
        for (int b = 'a'; b <= 'z'; ++b) {
            skip[b] = skip[Fold[b]];
        }
    }
    skip[lastFolded] = 0;
    if (NoCase && lastFolded >= 'A' && lastFolded <= 'Z') {
        skip[lastFolded + ('a' - 'A')] = 0;
    }

    // 0-based index of the text byte under the pattern's last byte.
    int64_t end = start + last;
    const int64_t textEnd = TextLen;
    for (;;) {
        int32_t s;
        while ((s = skip[t[end]]) != 0) {
            end += s;
            if (end >= textEnd) {
                return 0;
            }
        }
        const uint8_t* window = t + (end - last);
        int32_t k = last - 1;
        while (k >= 0 && Same<NoCase>(window[k], p[k])) {
            --k;
        }
        if (k < 0) {
            return static_cast<int32_t>(end - last + 1);
        }
        end += lastShift;
        if (end >= textEnd) {
            return 0;
        }
    }
}

template <bool NoCase>
int32_t Backward(const char* Text, const char* Pattern, int32_t TextLen, int32_t PatLen,
                 int32_t StartPos) {
    if (PatLen < 1 || TextLen < PatLen || StartPos < 0) {
        return 0;
    }
    int32_t start = StartPos;
    if (StartPos == 0 || static_cast<int64_t>(StartPos) + PatLen > TextLen) {
        start = TextLen - PatLen + 1;
    }
    const uint8_t* t = Bytes(Text);
    const uint8_t* p = Bytes(Pattern);
    for (int32_t pos = start; pos >= 1; --pos) {
        const uint8_t* window = t + (pos - 1);
        if (!Same<NoCase>(window[0], p[0])) {
            continue;
        }
        int32_t k = PatLen - 1;
        while (k >= 1 && Same<NoCase>(window[k], p[k])) {
            --k;
        }
        if (k < 1) {
            return pos;
        }
    }
    return 0;
}

} // namespace

constinit const std::array<uint8_t, 256> Fold = MakeFoldTable();

void MakeSkipTable(const char* Pattern, int32_t PatLen, bool NoCase, int32_t (&Skip)[256]) {
    if (PatLen < 1) {
        throw Exception("BufferLen is 0");
    }
    for (int32_t& s : Skip) {
        s = PatLen;
    }
    const uint8_t* p = Bytes(Pattern);
    for (int32_t k = 0; k < PatLen - 1; ++k) {
        Skip[NoCase ? Fold[p[k]] : p[k]] = PatLen - 1 - k;
    }
}

int32_t SearchForward(const char* Text, const char* Pattern, int32_t TextLen, int32_t PatLen,
                      int32_t StartPos) {
    return Forward<false>(Text, Pattern, TextLen, PatLen, StartPos);
}

int32_t SearchForwardNoCase(const char* Text, const char* Pattern, int32_t TextLen, int32_t PatLen,
                            int32_t StartPos) {
    return Forward<true>(Text, Pattern, TextLen, PatLen, StartPos);
}

int32_t SearchBackward(const char* Text, const char* Pattern, int32_t TextLen, int32_t PatLen,
                       int32_t StartPos) {
    return Backward<false>(Text, Pattern, TextLen, PatLen, StartPos);
}

int32_t SearchBackwardNoCase(const char* Text, const char* Pattern, int32_t TextLen, int32_t PatLen,
                             int32_t StartPos) {
    return Backward<true>(Text, Pattern, TextLen, PatLen, StartPos);
}

} // namespace linkvane
