#pragma once

#include <QStringList>
#include <string>

namespace linkvane {

/// The entries of a URL list file: UTF-16 little-endian text when IsUnicode,
/// otherwise 8-bit (UTF-8) text. Lines end at CR LF, CR or LF; a break at the
/// very end adds no line; empty lines count; nothing is trimmed; a byte-order
/// mark stays part of the first entry; a character with the code 0 ends the
/// text. A file that cannot be read raises "Cannot open file "%s". %s".
QStringList ReadEntryListFile(const std::string& FileName, bool IsUnicode);

/// Splits a text into lines by the rules above.
QStringList SplitEntryLines(const QString& Text);

} // namespace linkvane
