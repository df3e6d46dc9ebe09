#pragma once

#include <string>
#include <vector>

namespace linkvane {

/// The text form of a keyword list: items joined with ";", an item holding a
/// blank, a control character, ";" or a double quote put in double quotes with
/// inner quotes doubled. One empty item is written as two double quotes; an
/// empty list as empty text.
std::string KeywordListToText(const std::vector<std::string>& items);

/// Splits the text form back into items: ";" separates, double quotes enclose
/// an item, and an unquoted blank (any character at or below the space) also
/// ends an item. "a;" gives "a" and an empty item; an empty text no items.
std::vector<std::string> KeywordTextToList(const std::string& text);

} // namespace linkvane
