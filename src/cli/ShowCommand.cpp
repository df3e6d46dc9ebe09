// linkvane-cli show TASK.lvt: the task file that saving the loaded task writes.
#include "cli/Cli.h"

#include "runner/uURLExtractor.h"
#include "support/IniFile.h"
#include "support/ShowMsg.h"
#include "task/TaskFile.h"

namespace linkvane::cli {
namespace {

int RunShow(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1) {
        err << "usage: linkvane-cli show TASK.lvt\n";
        return 2;
    }
    const TMessageHandlerScope messages(std::make_shared<TStderrMessageHandler>(err));
    TURLExtractor extractor;
    if (!extractor.LoadParam(args[0])) {
        err << "linkvane-cli: task file \"" << args[0] << "\" does not exist\n";
        return 1;
    }
    TIniFile ini;
    WriteTaskKeys(ini, extractor.TaskParams());
    out << ini.Text();
    return out.good() ? 0 : 1;
}

const TCliRegistrar registrar({"show", "show TASK.lvt", RunShow});

} // namespace
} // namespace linkvane::cli
