#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace linkvane {

/// Text without the characters at or below the space (blanks, tabs, line
/// breaks, other control characters) at both ends.
std::string TrimText(std::string_view Text);
/// TrimText in place.
void TrimTextInPlace(std::string& Text);

/// The lines of a text: they end at CR LF, CR or LF, and a break at the very
/// end adds no line.
std::vector<std::string> SplitTextLines(std::string_view Text);

/// Text with the ASCII letters in upper case; other bytes (UTF-8 included)
/// stay as they are.
std::string UpperAscii(std::string_view Text);
/// Text with the ASCII letters in lower case.
std::string LowerAscii(std::string_view Text);
/// Equal when compared without regard to the case of ASCII letters.
bool SameTextAscii(std::string_view A, std::string_view B);

} // namespace linkvane
