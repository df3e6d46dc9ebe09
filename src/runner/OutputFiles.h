#pragma once

#include <cstdio>
#include <string>

namespace linkvane {

/// A result text file opened for appending for the length of one page. The
/// file must exist; lines end with CR LF. Errors raise "File not found" or
/// "I/O error %d" (the system's error code).
class TOutputTextFile {
public:
    TOutputTextFile() = default;
    ~TOutputTextFile();
    TOutputTextFile(const TOutputTextFile&) = delete;
    TOutputTextFile& operator=(const TOutputTextFile&) = delete;

    void OpenForAppend(const std::string& fileName);
    bool IsOpen() const { return m_file != nullptr; }
    /// Writes the line and CR LF.
    void WriteLine(const std::string& line);
    /// Flushes to disk and closes; raises when the data could not be written.
    void Close();

private:
    std::FILE* m_file = nullptr;
};

/// Creates the file's folder with all missing parents and the file itself,
/// empty, when it does not exist. Raises an I/O error when that fails.
void CreateFileIfMissing(const std::string& fileName);

/// Appends one line and CR LF to the file (created with its folder when
/// missing), then flushes and closes it.
void AppendLineToFile(const std::string& fileName, const std::string& line);

/// The value as one line of a result file: each run of line breaks (CR, LF)
/// becomes one blank, so every stored link stays exactly one line.
std::string OneLine(const std::string& value);

/// The main-file line of a layout (0-based LayoutType as held in memory):
/// 0 LinkURL; 1 LinkText; 2 LinkURL TAB LinkText; 3 LinkText TAB LinkURL;
/// 4 LinkText (the address goes to the second file); 5 SourceURL TAB LinkURL;
/// any other value an empty line. A non-empty ExtraData is appended after a TAB.
std::string BuildLinkLine(int LayoutType, const std::string& LinkURL, const std::string& LinkText,
                          const std::string& ExtraData, const std::string& SourceURL);

} // namespace linkvane
