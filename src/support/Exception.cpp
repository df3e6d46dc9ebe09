#include "support/Exception.h"

namespace linkvane {

std::string FormatMessage(const std::string& format, std::initializer_list<std::string> args) {
    std::string out;
    out.reserve(format.size() + 32);
    auto arg = args.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '%' && i + 1 < format.size()) {
            const char n = format[i + 1];
            if (n == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (n == 's' || n == 'd') {
                if (arg != args.end()) {
                    out += *arg;
                    ++arg;
                }
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

} // namespace linkvane
