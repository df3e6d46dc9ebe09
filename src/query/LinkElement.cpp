#include "query/LinkElement.h"

#include "support/TextTrim.h"

namespace linkvane {

void ReadLinkElement(const TNode& Element, std::string& URL, std::string& Text) {
    const std::string tag = Element.TagName();
    if (tag == "A")
        URL = TrimText(Element.GetAttribute("href"));
    else if (tag == "IMG" || tag == "EMBED")
        URL = TrimText(Element.GetAttribute("src"));
    else
        URL = Element.OuterHTML();
    Text = TrimText(Element.InnerText());
}

} // namespace linkvane
