#pragma once

#include <ctime>
#include <string>

namespace linkvane {

/// The error log: one file a day in the folder "Log/" below ProgramDir(),
/// named "Run" + "yyyy_mm_dd" + ".txt". The first running instance of the
/// program that logs into a folder holds a lock file there for the rest of its
/// life; any other instance adds "_" + its process id to the file name, so two
/// programs never write into the same file.

/// Appends "yy-mm-dd hh:mm:ss" (padded to 20), "Error!!" (padded to 10) and
/// Message as one CR LF line to today's log file, creating the folder and the
/// file when needed. Appends of all threads are serialised. A file error
/// raises "Unable to write to %s" with the file name.
void LogError(const std::string& Message);

/// The line that LogError writes at the local time Time, without its line end.
std::string FormatLogLine(std::time_t Time, const std::string& Message);

/// The folder of the log files, with a trailing "/".
std::string LogDir();

/// The file that LogError writes to on the day of the local time Time.
/// Checks the first-instance marker on first use.
std::string LogFileName(std::time_t Time);

/// Whether this process holds the first-instance marker of LogDir().
bool IsFirstLogInstance();

/// Moves the log to another folder (tests do); an empty text returns to
/// ProgramDir() + "Log/". The marker of the old folder is released and the new
/// folder's marker is checked again on first use.
void SetLogDir(const std::string& Dir);

/// The name of the marker file in the log folder.
inline constexpr const char* LogLockFileName = "Run.lock";

} // namespace linkvane
