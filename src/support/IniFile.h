#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace linkvane {

/// An INI text held in memory, read and written by the rules of the program's
/// task files:
/// - section and key names match without regard to case; the first matching
///   section and the first matching key win;
/// - a text value is what follows the first "=" with blanks at both ends
///   removed and one pair of matching quotes (" or ') taken off; at most 2047
///   characters are read;
/// - an integer may be decimal with a sign, or hexadecimal after "0x", "0X" or
///   "$"; anything else reads as the default;
/// - writing replaces a key in its place, adds a missing key at the end of its
///   section and a missing section at the end of the text; every other line
///   (comments, unknown keys and sections) stays as it was.
/// A value that begins and ends with the same quote character, or with blanks,
/// is written inside one more pair of double quotes so that reading it gives
/// back exactly what was written.
class TIniFile {
public:
    static constexpr size_t MaxValueLength = 2047;

    TIniFile() = default;

    /// Reads the file. Returns false (and holds an empty text) when it cannot
    /// be read.
    bool LoadFromFile(const std::string& fileName);
    void SetText(const std::string& text);
    /// The whole text with CR LF line ends.
    std::string Text() const;

    bool SectionExists(const std::string& section) const;
    bool ValueExists(const std::string& section, const std::string& key) const;
    /// The value by the reading rule, or nothing when the key is missing.
    std::optional<std::string> ReadValue(const std::string& section, const std::string& key) const;
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    int32_t ReadInteger(const std::string& section, const std::string& key,
                        int32_t defaultValue) const;

    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int32_t value);

    /// Writes the text to a new file beside fileName and renames it over the
    /// old one, so a failed save leaves the old file whole. A read-only file,
    /// a missing folder or a full disk raise "Unable to write to %s".
    void SaveToFile(const std::string& fileName) const;

    /// The value text as the reading rule gives it (trim, one pair of quotes
    /// off, 2047 characters at most).
    static std::string ParseValueText(const std::string& raw);
    /// The integer by the reading rule, or nothing when the text is not one.
    static std::optional<int32_t> ParseInteger(const std::string& text);
    /// The text written for a value (one more pair of quotes where reading
    /// would otherwise change it).
    static std::string QuoteValueText(const std::string& value);

private:
    struct Location {
        std::optional<size_t> sectionLine; // the section header
        std::optional<size_t> keyLine;     // the key's line
        size_t sectionEnd = 0;             // one past the last non-blank line of the section
    };
    Location Find(const std::string& section, const std::string& key) const;

    std::vector<std::string> m_lines;
    bool m_hasBom = false;
};

} // namespace linkvane
