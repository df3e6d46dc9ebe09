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

void TrimTextInPlace(std::string& Text) {
    size_t e = Text.size();
    while (e > 0 && static_cast<unsigned char>(Text[e - 1]) <= ' ')
        --e;
    Text.resize(e);
    size_t b = 0;
    while (b < e && static_cast<unsigned char>(Text[b]) <= ' ')
        ++b;
    Text.erase(0, b);
}

std::string UpperAscii(std::string_view Text) {
    std::string r(Text);
    for (char& c : r)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return r;
}

std::vector<std::string> SplitTextLines(std::string_view Text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < Text.size()) {
        const size_t eol = Text.find_first_of("\r\n", pos);
        if (eol == std::string_view::npos) {
            lines.emplace_back(Text.substr(pos));
            break;
        }
        lines.emplace_back(Text.substr(pos, eol - pos));
        pos = eol + 1;
        if (Text[eol] == '\r' && pos < Text.size() && Text[pos] == '\n') {
            ++pos;
        }
    }
    return lines;
}

std::string LowerAscii(std::string_view Text) {
    std::string r(Text);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return r;
}

bool SameTextAscii(std::string_view A, std::string_view B) {
    if (A.size() != B.size())
        return false;
    for (size_t i = 0; i < A.size(); ++i) {
        char x = A[i];
        char y = B[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 32);
        if (x != y)
            return false;
    }
    return true;
}

} // namespace linkvane
