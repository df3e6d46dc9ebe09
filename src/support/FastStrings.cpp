#include "support/FastStrings.h"

#include "support/Exception.h"

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

/// Sets the shift of every text byte that equals (or, with NoCase, folds to)
/// the pattern byte c.
template <bool NoCase> inline void SetShift(int32_t (&skip)[256], uint8_t c, int32_t shift) {
    if constexpr (NoCase) {
        const uint8_t f = Fold[c];
        skip[f] = shift;
        if (f >= 'A' && f <= 'Z') {
            skip[f + ('a' - 'A')] = shift;
        }
    } else {
        skip[c] = shift;
    }
}

template <bool NoCase> inline bool Same(uint8_t x, uint8_t y) {
    if constexpr (NoCase) {
        return Fold[x] == Fold[y];
    } else {
        return x == y;
    }
}

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

    // The table is indexed by the raw text byte (for NoCase both cases of a
    // letter carry the folded byte's shift), so the loop needs one lookup per
    // step. The entries of the pattern's last byte are 0, which lets the
    // skip loop run without comparing; the real shift for that byte is kept
    // in lastShift.
    int32_t skip[256];
    for (int32_t& s : skip) {
        s = PatLen;
    }
    int32_t lastShift = PatLen;
    const uint8_t lastFolded = NoCase ? Fold[p[last]] : p[last];
    for (int32_t k = 0; k < last; ++k) {
        SetShift<NoCase>(skip, p[k], last - k);
        if ((NoCase ? Fold[p[k]] : p[k]) == lastFolded) {
            lastShift = last - k;
        }
    }
    SetShift<NoCase>(skip, p[last], 0);

    // 0-based index of the text byte under the pattern's last byte.
    int64_t end = static_cast<int64_t>(StartPos) - 1 + last;
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
