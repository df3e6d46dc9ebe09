#include "support/KeywordList.h"

namespace linkvane {
namespace {

bool AtOrBelowSpace(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

bool NeedsQuotes(const std::string& item) {
    for (char c : item) {
        if (AtOrBelowSpace(c) || c == ';' || c == '"') {
            return true;
        }
    }
    return false;
}

} // namespace

std::string KeywordListToText(const std::vector<std::string>& items) {
    if (items.size() == 1 && items[0].empty()) {
        return "\"\"";
    }
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            out += ';';
        }
        const std::string& item = items[i];
        if (!NeedsQuotes(item)) {
            out += item;
            continue;
        }
        out += '"';
        for (char c : item) {
            if (c == '"') {
                out += '"';
            }
            out += c;
        }
        out += '"';
    }
    return out;
}

std::vector<std::string> KeywordTextToList(const std::string& text) {
    std::vector<std::string> items;
    const size_t n = text.size();
    size_t p = 0;
    while (p < n && AtOrBelowSpace(text[p])) {
        ++p;
    }
    if (p >= n) {
        return items;
    }
    while (true) {
        std::string item;
        if (p < n && text[p] == '"') {
            ++p;
            while (p < n) {
                if (text[p] == '"') {
                    if (p + 1 < n && text[p + 1] == '"') {
                        item += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += text[p++];
            }
        } else {
            while (p < n && text[p] != ';' && !AtOrBelowSpace(text[p])) {
                item += text[p++];
            }
        }
        items.push_back(item);
        while (p < n && AtOrBelowSpace(text[p])) {
            ++p;
        }
        if (p >= n) {
            break;
        }
        if (text[p] == ';') {
            ++p;
            while (p < n && AtOrBelowSpace(text[p])) {
                ++p;
            }
            if (p >= n) {
                items.emplace_back(); // a trailing ";" adds one empty item
                break;
            }
        }
    }
    return items;
}

} // namespace linkvane
