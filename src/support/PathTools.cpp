#include "support/PathTools.h"

#include "support/TextTrim.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace linkvane {
namespace fs = std::filesystem;

namespace {

std::string WithSlashes(std::string s) {
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

} // namespace

std::string ExtractFilePath(const std::string& FileName) {
    const auto pos = FileName.find_last_of("/\\");
    return pos == std::string::npos ? std::string() : FileName.substr(0, pos + 1);
}

std::string ExpandRelativePath(const std::string& ReferenceFile, const std::string& Name) {
    if (Name.empty()) {
        return {};
    }
    const fs::path name(WithSlashes(Name));
    if (name.is_absolute()) {
        return name.lexically_normal().string();
    }
    std::error_code ec;
    fs::path base = fs::current_path(ec);
    const std::string refFolder = WithSlashes(ExtractFilePath(ReferenceFile));
    if (!refFolder.empty() && fs::is_directory(refFolder, ec)) {
        fs::path folder(refFolder);
        base = folder.is_absolute() ? folder : base / folder;
    }
    return (base / name).lexically_normal().string();
}

std::string ChangeFileExt(const std::string& FileName, const std::string& Ext) {
    const auto slash = FileName.find_last_of("/\\");
    const auto dot = FileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return FileName + Ext;
    }
    return FileName.substr(0, dot) + Ext;
}

std::string ConnectionStringForFile(const std::string& FileName) {
    const auto slash = FileName.find_last_of("/\\");
    const auto dot = FileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    const std::string ext = LowerAscii(FileName.substr(dot));
    if (ext == ".udl") {
        return "FILE NAME=" + FileName;
    }
    if (ext == ".mdb") {
        return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + FileName + ";";
    }
    return {};
}

} // namespace linkvane
