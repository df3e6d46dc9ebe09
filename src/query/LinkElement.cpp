#include "query/LinkElement.h"

#include "support/TextTrim.h"

namespace linkvane {

void ReadLinkElement(const TNode& Element, std::string& URL, std::string& Text) {
    const std::string tag = Element.TagName();
    if (tag == "A") {
        URL = Element.GetAttribute("href");
        TrimTextInPlace(URL);
    } else if (tag == "IMG" || tag == "EMBED") {
        URL = Element.GetAttribute("src");
        TrimTextInPlace(URL);
    } else {
        URL = Element.OuterHTML();
    }
    Text = Element.InnerText();
    TrimTextInPlace(Text);
}

} // namespace linkvane
