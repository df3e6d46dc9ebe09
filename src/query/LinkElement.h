#pragma once

#include "browser/Dom.h"

#include <string>

namespace linkvane {

/// Reads the address and the text of a collected element as the link
/// extraction takes them, before any filter:
/// - URL by the element's tag name (compared exactly): the "href" attribute
///   of A, the "src" attribute of IMG and EMBED (both resolved against the
///   document's base and trimmed), and for any other node its outer HTML,
///   untrimmed;
/// - Text: the inner text, trimmed.
/// Trimming removes the characters at or below the space at both ends.
/// Errors of the document model (Element is not a node) are raised.
void ReadLinkElement(const TNode& Element, std::string& URL, std::string& Text);

} // namespace linkvane
