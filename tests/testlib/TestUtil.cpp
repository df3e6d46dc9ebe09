#include "testlib/TestUtil.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <stdlib.h>

namespace linkvane::test {

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "linkvane-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Restore write rights that a test may have taken away before removing.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(m_path, ec);
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
    const std::string full = File(name);
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    WriteFileBytes(full, bytes);
    return full;
}

std::string ReadFileBytes(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFileBytes(const std::string& fileName, const std::string& bytes) {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string SourceDir() {
    return LINKVANE_SOURCE_DIR;
}

std::string BinDir() {
    return LINKVANE_BIN_DIR;
}

} // namespace linkvane::test
