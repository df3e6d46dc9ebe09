// TMask compile-and-match: the first byte gives the mask's length, the rest
// of the input is split into the mask and the text. An invalid mask raises
// EMaskException and nothing else; a valid one answers for any text, and a
// mask that matches still matches with "*" around it.
#include "support/Mask.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace linkvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const size_t maskLen = std::min<size_t>(data[0], size - 1);
    const std::string mask(reinterpret_cast<const char*>(data + 1), maskLen);
    const std::string text(reinterpret_cast<const char*>(data + 1 + maskLen), size - 1 - maskLen);
    bool matches = false;
    try {
        matches = TMask(mask).Matches(text);
    } catch (const EMaskException& e) {
        // The message is a C string: a NUL in the mask ends it early.
        const std::string expected = "'" + mask + "' is an invalid mask at (";
        if (e.Message().rfind(std::string(expected.c_str()), 0) != 0) {
            std::abort();
        }
        return 0;
    }
    if (!TMask("*").Matches(text)) {
        std::abort();
    }
    if (matches) {
        try {
            if (!TMask("*" + mask + "*").Matches(text) || !TMask("*" + mask).Matches(text)) {
                std::abort();
            }
        } catch (const EMaskException&) {
            // The added stars can pass the limit of skip steps.
        }
    }
    return 0;
}
