#include "cli/Cli.h"

#include <QCoreApplication>
#include <iostream>
#include <memory>

#ifdef LINKVANE_HAS_GUI
#include "gui/BrowserEngine.h"

#include <QApplication>
#endif

namespace {

/// Whether the command line asks for the browser engine ("--engine browser"
/// or "--engine=browser"), which needs a graphical application object.
[[maybe_unused]] bool WantsBrowserEngine(const std::vector<std::string>& Args) {
    for (size_t i = 0; i < Args.size(); ++i) {
        if (Args[i] == "--engine=browser")
            return true;
        if (Args[i] == "--engine" && i + 1 < Args.size() && Args[i + 1] == "browser")
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::unique_ptr<QCoreApplication> app;
#ifdef LINKVANE_HAS_GUI
    if (WantsBrowserEngine(args)) {
        // Off screen: the command-line tool shows no window.
        linkvane::PrepareBrowserEngine(true);
        app = std::make_unique<QApplication>(argc, argv);
        linkvane::RegisterBrowserEngine();
    }
#endif
    if (!app)
        app = std::make_unique<QCoreApplication>(argc, argv);
    return linkvane::cli::RunCli(args, std::cout, std::cerr);
}
