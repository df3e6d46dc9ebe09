#pragma once

#include "support/Exception.h"

#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace linkvane {

/// Raised for a mask text that cannot be compiled:
/// "'%s' is an invalid mask at (%d)" with the mask and the 1-based position
/// where compiling stopped.
class EMaskException : public Exception {
public:
    using Exception::Exception;
};

/// A wildcard mask, compiled once and matched against whole texts.
///
/// - "*" lets the next step skip any number of bytes (zero or more);
/// - "?" is exactly one byte; a "?" after a "*" (with only further "?" between)
///   adds nothing, so "a*?b" behaves as "a*b";
/// - "[...]" is one byte from a set, "[!...]" one byte outside it; "x-y" adds
///   the range from x to y. A "-" that does not stand between two characters,
///   an empty set or a missing "]" make the mask invalid;
/// - any other character stands for itself.
/// ASCII letters match ignoring case. The mask must match the whole text. At
/// most 30 steps may follow a "*" (the end of the mask counts as a step).
class TMask {
public:
    /// Compiles the mask; raises EMaskException when it is invalid.
    explicit TMask(std::string_view MaskValue);

    bool Matches(std::string_view Text) const;

    static constexpr int MaxSkipSteps = 30;

private:
    enum class TStepKind : uint8_t { Literal, AnyChar, Set, End };
    struct TStep {
        explicit TStep(TStepKind kind) : Kind(kind) {}
        TStepKind Kind;
        bool SkipTo = false; ///< preceded by "*"
        uint8_t Literal = 0; ///< folded
        bool Negate = false;
        std::bitset<256> Chars; ///< both cases of every letter in the set
    };

    bool MatchesStep(const TStep& step, uint8_t c) const;

    std::vector<TStep> m_steps;
};

} // namespace linkvane
