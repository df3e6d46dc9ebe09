#include "support/IniFile.h"

#include "support/Exception.h"
#include "support/FastStringUtils.h"
#include "support/TextTrim.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace linkvane {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && IsBlank(s[b])) {
        ++b;
    }
    while (e > b && IsBlank(s[e - 1])) {
        --e;
    }
    return s.substr(b, e - b);
}

/// The section name of a header line "[name]", or nothing.
std::optional<std::string> SectionName(const std::string& line) {
    const std::string t = Trim(line);
    if (t.empty() || t.front() != '[') {
        return std::nullopt;
    }
    const auto close = t.find(']');
    return Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

/// The key name of a "key=value" line, or nothing for comments and lines
/// without "=".
std::optional<std::string> KeyName(const std::string& line) {
    const std::string t = Trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '#') {
        return std::nullopt;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos) {
        return std::nullopt;
    }
    return Trim(line.substr(0, eq));
}

std::string UnableToWrite(const std::string& fileName) {
    return FormatMessage("Unable to write to %s", {fileName});
}

} // namespace

bool TIniFile::LoadFromFile(const std::string& fileName) {
    m_lines.clear();
    m_hasBom = false;
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    SetText(buffer.str());
    return true;
}

void TIniFile::SetText(const std::string& text) {
    m_hasBom = text.rfind("\xEF\xBB\xBF", 0) == 0;
    m_lines = SplitTextLines(std::string_view(text).substr(m_hasBom ? 3 : 0));
}

std::string TIniFile::Text() const {
    std::string out;
    if (m_hasBom) {
        out = "\xEF\xBB\xBF";
    }
    for (const auto& line : m_lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

TIniFile::Location TIniFile::Find(const std::string& section, const std::string& key) const {
    Location loc;
    bool inSection = false;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const std::string& line = m_lines[i];
        if (auto name = SectionName(line)) {
            if (inSection) {
                break; // only the first section of that name counts
            }
            if (SameTextAscii(*name, section)) {
                inSection = true;
                loc.sectionLine = i;
                loc.sectionEnd = i + 1;
            }
            continue;
        }
        if (!inSection) {
            continue;
        }
        if (!Trim(line).empty()) {
            loc.sectionEnd = i + 1;
        }
        if (!loc.keyLine) {
            if (auto k = KeyName(line); k && SameTextAscii(*k, key)) {
                loc.keyLine = i;
            }
        }
    }
    return loc;
}

bool TIniFile::SectionExists(const std::string& section) const {
    return Find(section, std::string()).sectionLine.has_value();
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
    return Find(section, key).keyLine.has_value();
}

std::string TIniFile::ParseValueText(const std::string& raw) {
    std::string v = Trim(raw);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return Utf8Prefix(v, MaxValueLength);
}

std::optional<std::string> TIniFile::ReadValue(const std::string& section,
                                               const std::string& key) const {
    const Location loc = Find(section, key);
    if (!loc.keyLine) {
        return std::nullopt;
    }
    const std::string& line = m_lines[*loc.keyLine];
    return ParseValueText(line.substr(line.find('=') + 1));
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
    return ReadValue(section, key).value_or(defaultValue);
}

std::optional<int32_t> TIniFile::ParseInteger(const std::string& text) {
    const std::string t = Trim(text);
    if (t.empty()) {
        return std::nullopt;
    }
    size_t i = 0;
    int base = 10;
    bool negative = false;
    if (t.rfind("0x", 0) == 0 || t.rfind("0X", 0) == 0) {
        base = 16;
        i = 2;
    } else if (t[0] == '$') {
        base = 16;
        i = 1;
    } else if (t[0] == '+' || t[0] == '-') {
        negative = t[0] == '-';
        i = 1;
    }
    if (i >= t.size()) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFull) {
            return std::nullopt;
        }
    }
    if (base == 16) {
        // Hexadecimal covers the whole 32 bits, as "$FFFFFFFF" = -1.
        return static_cast<int32_t>(static_cast<uint32_t>(value));
    }
    if (negative) {
        if (value > 0x80000000ull) {
            return std::nullopt;
        }
        return static_cast<int32_t>(-static_cast<int64_t>(value));
    }
    if (value > 0x7FFFFFFFull) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key,
                              int32_t defaultValue) const {
    const auto text = ReadValue(section, key);
    if (!text) {
        return defaultValue;
    }
    return ParseInteger(*text).value_or(defaultValue);
}

std::string TIniFile::QuoteValueText(const std::string& value) {
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
    const bool blankEnds = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
    if (quoted || blankEnds) {
        return "\"" + value + "\"";
    }
    return value;
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
    const std::string line = key + "=" + QuoteValueText(value);
    const Location loc = Find(section, key);
    if (loc.keyLine) {
        m_lines[*loc.keyLine] = line;
    } else if (loc.sectionLine) {
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(loc.sectionEnd), line);
    } else {
        m_lines.push_back("[" + section + "]");
        m_lines.push_back(line);
    }
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::SaveToFile(const std::string& fileName) const {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Write through a link to the file it names, so the link stays a link.
    fs::path target = fs::path(fileName);
    if (fs::is_symlink(target, ec)) {
        target = fs::canonical(target, ec);
        if (ec) {
            throw Exception(UnableToWrite(fileName));
        }
    }
    mode_t mode = 0644;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        // A file without write permission counts as read-only even for root,
        // as a read-only attribute would.
        if (!S_ISREG(st.st_mode) || (st.st_mode & S_IWUSR) == 0 ||
            ::access(target.c_str(), W_OK) != 0) {
            throw Exception(UnableToWrite(fileName));
        }
        mode = st.st_mode & 07777;
    }
    const std::string tmp = target.string() + ".tmp-" + std::to_string(::getpid());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) {
        throw Exception(UnableToWrite(fileName));
    }
    const std::string text = Text();
    size_t written = 0;
    bool ok = true;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ok = false;
            break;
        }
        written += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::fchmodat(AT_FDCWD, tmp.c_str(), mode, 0) == 0;
    ok = ok && ::rename(tmp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tmp.c_str());
        throw Exception(UnableToWrite(fileName));
    }
}

} // namespace linkvane
