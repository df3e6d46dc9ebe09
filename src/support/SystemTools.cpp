#include "support/SystemTools.h"

#include <filesystem>
#include <mutex>
#include <system_error>

namespace linkvane {
namespace {

std::mutex g_programDirMutex;
std::string g_programDirOverride;

std::string ExecutableDir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return std::filesystem::current_path().string() + "/";
    }
    return exe.parent_path().string() + "/";
}

} // namespace

std::string ProgramDir() {
    std::lock_guard lock(g_programDirMutex);
    if (!g_programDirOverride.empty()) {
        return g_programDirOverride;
    }
    static const std::string dir = ExecutableDir();
    return dir;
}

void SetProgramDir(const std::string& dir) {
    std::lock_guard lock(g_programDirMutex);
    g_programDirOverride = dir;
    if (!g_programDirOverride.empty() && g_programDirOverride.back() != '/') {
        g_programDirOverride += '/';
    }
}

} // namespace linkvane
