#pragma once

#include <string>

namespace linkvane {

/// Name expanded to a full path as if the folder of ReferenceFile were the
/// current folder; the process's current folder is never changed (the program
/// has threads). When ReferenceFile has no folder part or its folder does not
/// exist, the current folder is used. "." and ".." parts are resolved; an empty
/// Name gives an empty result. "\" counts as a path delimiter in both texts, so
/// names written on Windows keep working.
std::string ExpandRelativePath(const std::string& ReferenceFile, const std::string& Name);

/// The connection string for a connection file: ".udl" gives "FILE NAME=" +
/// the name, ".mdb" the Jet provider string, anything else an empty string.
/// The extension is compared without regard to case; the name is used as is.
std::string ConnectionStringForFile(const std::string& FileName);

/// The file name's extension (from the last "." of its last part) replaced by
/// Ext, or Ext appended when it has none.
std::string ChangeFileExt(const std::string& FileName, const std::string& Ext);

/// Everything up to and including the last "/" (or "\") of the name.
std::string ExtractFilePath(const std::string& FileName);

} // namespace linkvane
