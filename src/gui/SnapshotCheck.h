#pragma once

#include "browser/Dom.h"

#include <string>
#include <string_view>
#include <vector>

namespace linkvane {

/// The names of the start tags in Html, a document as a browser's serializer
/// writes it (attribute values in double quotes, "<" escaped in text), in
/// order and in lower case. The content of raw text elements (SCRIPT, STYLE
/// and the like) is not looked into, and the content of TEMPLATE elements
/// is left out, as documents of our model leave it out.
std::vector<std::string> SerializedStartTags(std::string_view Html);

/// Whether Document's elements (its All) carry the tag names of
/// SerializedStartTags(Html), one for one and in order: then the parser built
/// every element the serialized page holds, in the page's order.
bool ElementsMatchSerialization(const TNode& Document, std::string_view Html);

} // namespace linkvane
