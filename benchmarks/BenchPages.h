#pragma once
// Pages the benchmarks share.

#include <string>

namespace linkvane::bench {

/// About 1.4 MB: 10,000 links in table rows (a number cell, a link cell with a
/// bold word, a description cell), and a "Next" link at the end.
inline const std::string& TenThousandLinkPage() {
    static const std::string page = [] {
        std::string s = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Listing</title>"
                        "</head><body><h1>Results</h1><table class=\"list\">\n";
        for (int i = 0; i < 10000; ++i) {
            const std::string n = std::to_string(i);
            s += "<tr class=\"row\"><td>" + n + "</td><td><a href=\"/item/" + n +
                 "?ref=list&amp;page=" + std::to_string(i / 50) + "\">Item " + n +
                 " <b>title</b></a></td><td>Description of item " + n + "</td></tr>\n";
        }
        s += "</table><p><a href=\"?page=2\">Next</a></p></body></html>";
        return s;
    }();
    return page;
}

} // namespace linkvane::bench
