#include "support/Mask.h"

#include "support/FastStrings.h"

namespace linkvane {
namespace {

[[noreturn]] void InvalidMask(std::string_view mask, size_t position) {
    throw EMaskException(FormatMessage("'%s' is an invalid mask at (%d)",
                                       {std::string(mask), std::to_string(position)}));
}

void AddChar(std::bitset<256>& chars, uint8_t c) {
    chars.set(c);
    if (c >= 'a' && c <= 'z') {
        chars.set(c - ('a' - 'A'));
    } else if (c >= 'A' && c <= 'Z') {
        chars.set(c + ('a' - 'A'));
    }
}

} // namespace

TMask::TMask(std::string_view MaskValue) {
    const size_t n = MaskValue.size();
    auto at = [&](size_t i) { return static_cast<uint8_t>(MaskValue[i]); };
    bool skipTo = false;
    int skipSteps = 0;
    // position: 1-based place of the character that completes the step.
    auto addStep = [&](TStep step, size_t position) {
        if (skipTo && ++skipSteps > MaxSkipSteps) {
            InvalidMask(MaskValue, position);
        }
        step.SkipTo = skipTo;
        skipTo = false;
        m_steps.push_back(step);
    };

    size_t i = 0;
    while (i < n) {
        const uint8_t c = at(i);
        if (c == '*') {
            skipTo = true;
            ++i;
        } else if (c == '?') {
            if (!skipTo) {
                addStep(TStep(TStepKind::AnyChar), i + 1);
            }
            ++i;
        } else if (c == '[') {
            TStep step(TStepKind::Set);
            size_t j = i + 1;
            if (j < n && at(j) == '!') {
                step.Negate = true;
                ++j;
            }
            bool any = false;
            for (;;) {
                if (j >= n) {
                    InvalidMask(MaskValue, n + 1);
                }
                const uint8_t x = at(j);
                if (x == ']') {
                    if (!any) {
                        InvalidMask(MaskValue, j + 1);
                    }
                    break;
                }
                if (x == '-') {
                    InvalidMask(MaskValue, j + 1);
                }
                if (j + 1 < n && at(j + 1) == '-') {
                    if (j + 2 >= n) {
                        InvalidMask(MaskValue, n + 1);
                    }
                    const uint8_t y = at(j + 2);
                    if (y == ']') {
                        InvalidMask(MaskValue, j + 2);
                    }
                    for (unsigned r = x; r <= y; ++r) {
                        AddChar(step.Chars, static_cast<uint8_t>(r));
                    }
                    j += 3;
                } else {
                    AddChar(step.Chars, x);
                    ++j;
                }
                any = true;
            }
            addStep(step, j + 1);
            i = j + 1;
        } else {
            TStep step(TStepKind::Literal);
            step.Literal = Fold[c];
            addStep(step, i + 1);
            ++i;
        }
    }
    addStep(TStep(TStepKind::End), n + 1);
}

bool TMask::MatchesStep(const TStep& step, uint8_t c) const {
    switch (step.Kind) {
    case TStepKind::Literal:
        return Fold[c] == step.Literal;
    case TStepKind::AnyChar:
        return true;
    case TStepKind::Set:
        return step.Chars.test(c) != step.Negate;
    case TStepKind::End:
        break;
    }
    return false;
}

bool TMask::Matches(std::string_view Text) const {
    const size_t len = Text.size();
    size_t si = 0;
    size_t ti = 0;
    // The latest skip: every step consumes exactly one byte, so retrying from
    // the latest "*" one byte further is enough; earlier skips never need to
    // move again.
    bool haveSkip = false;
    size_t skipStep = 0;
    size_t skipText = 0;
    for (;;) {
        const TStep& step = m_steps[si];
        if (step.SkipTo) {
            haveSkip = true;
            skipStep = si;
            skipText = ti;
        }
        if (step.Kind == TStepKind::End) {
            if (step.SkipTo || ti == len) {
                return true;
            }
        } else if (ti < len && MatchesStep(step, static_cast<uint8_t>(Text[ti]))) {
            ++si;
            ++ti;
            continue;
        }
        if (!haveSkip || skipText >= len) {
            return false;
        }
        si = skipStep;
        ti = skipText + 1;
    }
}

} // namespace linkvane
