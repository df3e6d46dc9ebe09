// Bytes → document → OuterHTML and InnerText. The first byte picks the
// transport charset label; the rest is the page. The page is also set as
// the inner HTML of its own body and its links are resolved.
#include "browser/Dom.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    using namespace linkvane;
    static const char* labels[] = {"",        "utf-8",  "windows-1252", "shift_jis", "gbk",
                                   "gb18030", "euc-jp", "big5",         "utf-16le",  "iso-2022-jp"};
    if (Size == 0)
        return 0;
    TDocumentOptions options;
    options.URL = "http://example.com/dir/page.html";
    options.HttpCharset = labels[Data[0] % std::size(labels)];
    const std::string_view bytes(reinterpret_cast<const char*>(Data) + 1, Size - 1);
    TNode doc = ParseHtmlDocument(bytes, options);
    const std::string html = doc.OuterHTML();
    const std::string text = doc.DocumentElement().InnerText();
    TNode links = doc.Tags("A");
    for (int32_t i = 0; i < links.Length(); ++i)
        (void)links.Item(i).Href();
    TNode body = doc.Body();
    if (body.IsElement()) {
        body.SetInnerHTML(html);
        (void)body.InnerText();
        (void)doc.All().Length();
    }
    return 0;
}
