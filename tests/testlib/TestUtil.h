#pragma once

#include "support/Exception.h"

#include <string>

namespace linkvane::test {

/// A fresh folder below the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    /// The full name of a file in the folder.
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    /// Writes bytes to a file in the folder (parent folders are created) and
    /// returns its full name.
    std::string Write(const std::string& name, const std::string& bytes) const;

private:
    std::string m_path;
};

std::string ReadFileBytes(const std::string& fileName);
void WriteFileBytes(const std::string& fileName, const std::string& bytes);

/// The message of the linkvane::Exception that `f` raises ("" when none).
template <typename F> std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

/// The folder of the test fixtures below tests/ in the source tree.
std::string SourceDir();
/// The folder of the built executables.
std::string BinDir();

} // namespace linkvane::test
