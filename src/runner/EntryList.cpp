#include "runner/EntryList.h"

#include "support/Exception.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace linkvane {

QStringList SplitEntryLines(const QString& Text) {
    QStringList lines;
    const qsizetype n = Text.size();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < n) {
        const QChar c = Text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines.append(Text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && Text.at(i + 1) == u'\n') {
                ++i;
            }
            start = ++i;
            continue;
        }
        ++i;
    }
    if (start < n) {
        lines.append(Text.mid(start));
    }
    return lines;
}

QStringList ReadEntryListFile(const std::string& FileName, bool IsUnicode) {
    std::error_code ec;
    if (std::filesystem::is_directory(FileName, ec)) {
        throw Exception(
            FormatMessage("Cannot open file \"%s\". %s", {FileName, std::strerror(EISDIR)}));
    }
    std::ifstream in(FileName, std::ios::binary);
    if (FileName.empty() || !in) {
        const int code = FileName.empty() ? ENOENT : errno;
        throw Exception(
            FormatMessage("Cannot open file \"%s\". %s", {FileName, std::strerror(code)}));
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        throw Exception(
            FormatMessage("Cannot open file \"%s\". %s", {FileName, std::strerror(EIO)}));
    }
    std::string bytes = buffer.str();
    QString text;
    if (IsUnicode) {
        const qsizetype units = static_cast<qsizetype>(bytes.size() / 2);
        text.reserve(units);
        for (qsizetype k = 0; k < units; ++k) {
            const auto lo = static_cast<unsigned char>(bytes[static_cast<size_t>(2 * k)]);
            const auto hi = static_cast<unsigned char>(bytes[static_cast<size_t>(2 * k + 1)]);
            const char16_t unit = static_cast<char16_t>(lo | (hi << 8));
            if (unit == 0) {
                break;
            }
            text.append(QChar(unit));
        }
    } else {
        const auto nul = bytes.find('\0');
        if (nul != std::string::npos) {
            bytes.resize(nul);
        }
        text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    return SplitEntryLines(text);
}

} // namespace linkvane
