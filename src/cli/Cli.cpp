#include "cli/Cli.h"

#include <algorithm>
#include <map>

namespace linkvane::cli {
namespace {

std::map<std::string, TCliCommand>& Commands() {
    static std::map<std::string, TCliCommand> commands;
    return commands;
}

} // namespace

TCliRegistrar::TCliRegistrar(TCliCommand command) {
    std::string name = command.Name;
    Commands()[name] = std::move(command);
}

void AppendEscaped(std::string& Out, const std::string& Text) {
    for (const char c : Text) {
        switch (c) {
        case '\\':
            Out += "\\\\";
            break;
        case '\t':
            Out += "\\t";
            break;
        case '\r':
            Out += "\\r";
            break;
        case '\n':
            Out += "\\n";
            break;
        default:
            Out += c;
        }
    }
}

std::string UsageText() {
    std::string text = "usage:\n";
    for (const auto& [name, command] : Commands()) {
        text += "  linkvane-cli " + command.Usage + "\n";
    }
    return text;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        (args.empty() ? err : out) << UsageText();
        return args.empty() ? 2 : 0;
    }
    const auto it = Commands().find(args[0]);
    if (it == Commands().end()) {
        err << "linkvane-cli: unknown command '" << args[0] << "'\n" << UsageText();
        return 2;
    }
    return it->second.Run(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
}

} // namespace linkvane::cli
