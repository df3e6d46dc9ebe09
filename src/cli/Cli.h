#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace linkvane::cli {

/// One subcommand of linkvane-cli. Run gets the arguments after the command's
/// name and the streams to write to, and answers the exit status: 0 success,
/// 1 failure, 2 usage error.
struct TCliCommand {
    std::string Name;
    std::string Usage; ///< the line shown in the usage text
    std::function<int(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)>
        Run;
};

/// Each command file registers its command with a static TCliRegistrar.
struct TCliRegistrar {
    explicit TCliRegistrar(TCliCommand command);
};

/// Runs the command named by args[0] with the rest of args.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/// Appends Text with backslash, TAB, CR and LF written as \\, \t, \r and \n,
/// so that a value never breaks the one-line, TAB-separated output.
void AppendEscaped(std::string& Out, const std::string& Text);

/// The usage text listing every command.
std::string UsageText();

} // namespace linkvane::cli
