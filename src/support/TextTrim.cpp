#include "support/TextTrim.h"

namespace linkvane {

std::string TrimText(std::string_view Text) {
    size_t b = 0;
    size_t e = Text.size();
    while (b < e && static_cast<unsigned char>(Text[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(Text[e - 1]) <= ' ')
        --e;
    return std::string(Text.substr(b, e - b));
}

std::string UpperAscii(std::string_view Text) {
    std::string r(Text);
    for (char& c : r)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return r;
}

} // namespace linkvane
