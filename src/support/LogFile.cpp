#include "support/LogFile.h"

#include "support/Exception.h"
#include "support/SystemTools.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>

namespace linkvane {
namespace {

struct TLogState {
    std::mutex Mutex;
    std::string Dir;        ///< empty: ProgramDir() + "Log/"
    std::string CheckedDir; ///< the folder whose marker was checked
    bool First = false;
    int LockFd = -1; ///< held open (and locked) for the life of the process
};

TLogState& State() {
    static TLogState state;
    return state;
}

std::string DirLocked(const TLogState& s) {
    return s.Dir.empty() ? ProgramDir() + "Log/" : s.Dir;
}

void CreateDir(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
}

/// The first process to lock the marker file of a folder keeps the plain file
/// names; the lock ends with the process, however it ends. When the marker
/// cannot be opened at all, the process id suffix is the safe choice.
void CheckInstanceLocked(TLogState& s) {
    const std::string dir = DirLocked(s);
    if (s.CheckedDir == dir) {
        return;
    }
    // The program folder can move (tests point it elsewhere): the marker
    // belongs to the folder that is written to.
    if (s.LockFd >= 0) {
        ::close(s.LockFd);
        s.LockFd = -1;
    }
    s.CheckedDir = dir;
    s.First = false;
    CreateDir(dir);
    const int fd = ::open((dir + LogLockFileName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        s.First = true;
        s.LockFd = fd;
    } else {
        ::close(fd);
    }
}

std::string FileNameLocked(TLogState& s, std::time_t time) {
    const std::string dir = DirLocked(s);
    CreateDir(dir);
    CheckInstanceLocked(s);
    std::tm local{};
    localtime_r(&time, &local);
    char date[32];
    std::snprintf(date, sizeof date, "%04d_%02d_%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday);
    std::string name = dir + "Run" + date;
    if (!s.First) {
        name += "_" + std::to_string(::getpid());
    }
    return name + ".txt";
}

std::string PadRight(std::string s, size_t width) {
    if (s.size() < width) {
        s.append(width - s.size(), ' ');
    }
    return s;
}

} // namespace

std::string FormatLogLine(std::time_t Time, const std::string& Message) {
    std::tm local{};
    localtime_r(&Time, &local);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%02d-%02d-%02d %02d:%02d:%02d", local.tm_year % 100,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return PadRight(stamp, 20) + PadRight("Error!!", 10) + Message;
}

void LogError(const std::string& Message) {
    TLogState& s = State();
    std::lock_guard lock(s.Mutex);
    const std::time_t now = std::time(nullptr);
    const std::string fileName = FileNameLocked(s, now);
    const std::string line = FormatLogLine(now, Message) + "\r\n";

    const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw Exception(FormatMessage("Unable to write to %s", {fileName}));
    }
    size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ::close(fd);
            throw Exception(FormatMessage("Unable to write to %s", {fileName}));
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0) {
        throw Exception(FormatMessage("Unable to write to %s", {fileName}));
    }
}

std::string LogDir() {
    TLogState& s = State();
    std::lock_guard lock(s.Mutex);
    return DirLocked(s);
}

std::string LogFileName(std::time_t Time) {
    TLogState& s = State();
    std::lock_guard lock(s.Mutex);
    return FileNameLocked(s, Time);
}

bool IsFirstLogInstance() {
    TLogState& s = State();
    std::lock_guard lock(s.Mutex);
    CheckInstanceLocked(s);
    return s.First;
}

void SetLogDir(const std::string& Dir) {
    TLogState& s = State();
    std::lock_guard lock(s.Mutex);
    if (s.LockFd >= 0) {
        ::close(s.LockFd);
        s.LockFd = -1;
    }
    s.Dir = Dir;
    if (!s.Dir.empty() && s.Dir.back() != '/') {
        s.Dir += '/';
    }
    s.CheckedDir.clear();
    s.First = false;
}

} // namespace linkvane
