#pragma once

#include <string>

namespace linkvane {

/// The folder of the running executable, with a trailing "/". The template
/// task, the help file, the recent files list and the error log live below it.
std::string ProgramDir();

/// Replaces the program folder (tests point it at a folder of their own).
/// An empty text returns to the executable's folder.
void SetProgramDir(const std::string& dir);

} // namespace linkvane
