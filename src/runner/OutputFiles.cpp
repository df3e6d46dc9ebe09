#include "runner/OutputFiles.h"

#include "support/Exception.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace linkvane {
namespace {

[[noreturn]] void RaiseIOError(int code) {
    if (code == ENOENT) {
        throw Exception("File not found");
    }
    throw Exception(FormatMessage("I/O error %d", {std::to_string(code)}));
}

} // namespace

TOutputTextFile::~TOutputTextFile() {
    if (m_file) {
        std::fclose(m_file);
    }
}

void TOutputTextFile::OpenForAppend(const std::string& fileName) {
    if (m_file) {
        Close();
    }
    std::error_code ec;
    if (fileName.empty() || !std::filesystem::exists(fileName, ec)) {
        throw Exception("File not found");
    }
    m_file = std::fopen(fileName.c_str(), "ab");
    if (!m_file) {
        RaiseIOError(errno);
    }
}

void TOutputTextFile::WriteLine(const std::string& line) {
    if (!m_file) {
        RaiseIOError(EBADF);
    }
    if (std::fwrite(line.data(), 1, line.size(), m_file) != line.size() ||
        std::fwrite("\r\n", 1, 2, m_file) != 2) {
        RaiseIOError(errno ? errno : EIO);
    }
}

void TOutputTextFile::Close() {
    if (!m_file) {
        return;
    }
    std::FILE* f = m_file;
    m_file = nullptr;
    int code = 0;
    if (std::fflush(f) != 0) {
        code = errno;
    } else if (::fsync(::fileno(f)) != 0 && errno != EINVAL) {
        code = errno;
    }
    if (std::fclose(f) != 0 && code == 0) {
        code = errno;
    }
    if (code != 0) {
        RaiseIOError(code);
    }
}

void CreateFileIfMissing(const std::string& fileName) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fileName.empty()) {
        RaiseIOError(ENOENT);
    }
    if (fs::exists(fileName, ec)) {
        return;
    }
    const fs::path parent = fs::path(fileName).parent_path();
    if (!parent.empty()) {
        fs::create_directories(parent, ec);
        if (ec) {
            RaiseIOError(ec.value());
        }
    }
    std::FILE* f = std::fopen(fileName.c_str(), "ab");
    if (!f) {
        RaiseIOError(errno);
    }
    std::fclose(f);
}

void AppendLineToFile(const std::string& fileName, const std::string& line) {
    CreateFileIfMissing(fileName);
    TOutputTextFile file;
    file.OpenForAppend(fileName);
    file.WriteLine(line);
    file.Close();
}

std::string OneLine(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    bool inBreak = false;
    for (const char c : value) {
        const bool isBreak = c == '\r' || c == '\n';
        if (!isBreak) {
            out += c;
        } else if (!inBreak) {
            out += ' ';
        }
        inBreak = isBreak;
    }
    return out;
}

std::string BuildLinkLine(int LayoutType, const std::string& LinkURL, const std::string& LinkText,
                          const std::string& ExtraData, const std::string& SourceURL) {
    const std::string url = OneLine(LinkURL);
    const std::string text = OneLine(LinkText);
    std::string line;
    switch (LayoutType) {
    case 0:
        line = url;
        break;
    case 1:
    case 4:
        line = text;
        break;
    case 2:
        line = url + "\t" + text;
        break;
    case 3:
        line = text + "\t" + url;
        break;
    case 5:
        line = OneLine(SourceURL) + "\t" + url;
        break;
    default:
        break;
    }
    if (!ExtraData.empty()) {
        line += "\t" + OneLine(ExtraData);
    }
    return line;
}

} // namespace linkvane
