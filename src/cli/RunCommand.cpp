// linkvane-cli run: runs a task file or a batch list headless.
#include "cli/Cli.h"

#include "browser/TWebBrowser.h"
#include "runner/TaskControl.h"
#include "runner/uURLExtractor.h"
#include "support/Exception.h"
#include "support/PathTools.h"
#include "support/ShowMsg.h"
#include "task/TaskFile.h"

#include <QTimer>
#include <atomic>
#include <csignal>

namespace linkvane::cli {
namespace {

std::atomic<int> g_interrupts{0};

extern "C" void OnInterrupt(int) {
    g_interrupts.fetch_add(1);
}

struct TSetting {
    const TTaskKey* Key;
    std::string Value;
};

bool EndsWithBatch(const std::string& name) {
    if (name.size() < 6) {
        return false;
    }
    std::string ext = name.substr(name.size() - 6);
    for (char& c : ext) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return ext == ".batch";
}

int RunRun(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const char* usage =
        "usage: linkvane-cli run [--engine static|browser] [--set KEY=VALUE]... [--quiet] "
        "TASK.lvt|LIST.batch\n";
    QString engine = QStringLiteral("static");
    std::vector<TSetting> settings;
    bool quiet = false;
    std::string file;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--engine" && i + 1 < args.size()) {
            engine = QString::fromStdString(args[++i]);
        } else if (a == "--set" && i + 1 < args.size()) {
            const std::string& kv = args[++i];
            const auto eq = kv.find('=');
            const TTaskKey* key = eq == std::string::npos ? nullptr : FindTaskKey(kv.substr(0, eq));
            if (!key) {
                err << "linkvane-cli: --set needs KEY=VALUE with a task file key (use "
                       "Input.DBConnectionFileName or Output.DBConnectionFileName for the two "
                       "connection files): '"
                    << kv << "'\n";
                return 2;
            }
            settings.push_back({key, kv.substr(eq + 1)});
        } else if (a == "--quiet") {
            quiet = true;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            err << "linkvane-cli: unknown option '" << a << "'\n" << usage;
            return 2;
        } else if (file.empty()) {
            file = a;
        } else {
            err << usage;
            return 2;
        }
    }
    if (file.empty()) {
        err << usage;
        return 2;
    }

    std::unique_ptr<TWebBrowser> browser;
    try {
        browser = CreateWebBrowser(engine);
    } catch (const Exception& e) {
        err << "linkvane-cli: " << e.Message() << "\n";
        return 2;
    }

    // Messages of the run (the pre-run check, loading) go to this command's stream.
    const TMessageHandlerScope messages(std::make_shared<TStderrMessageHandler>(err));
    TURLExtractor runner;
    TTaskControl control(runner);
    control.Browser = browser.get();
    control.CloseAfterRun = true; // the closing line below replaces the report box

    control.OnTaskLoaded = [&](const std::string&) {
        if (settings.empty()) {
            return;
        }
        TTaskParams params = runner.TaskParams();
        for (const auto& s : settings) {
            SetTaskKeyFromText(*s.Key, params, s.Value);
        }
        runner.SetTaskParams(params);
        runner.RefreshDerivedParams();
    };
    runner.OnBeforeExectuteOneEntry = [&](TURLExtractor*, const QString& entry, int no, int count) {
        if (!quiet) {
            err << TTaskControl::ProgressText(no, count, entry).toStdString() << std::endl;
        }
    };
    control.OnTaskFinished = [&](int records) {
        out << "Task Finished! Got " << records << " Records." << std::endl;
    };

    // Ctrl+C acts as Stop: the page under way is finished and stored. In a
    // batch a second Ctrl+C ends the whole batch.
    g_interrupts = 0;
    auto previous = std::signal(SIGINT, OnInterrupt);
    int handled = 0;
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        const int n = g_interrupts.load();
        if (n == handled) {
            return;
        }
        handled = n;
        runner.Stop();
        if (n >= 2) {
            control.StopBatch();
        }
    });
    poll.start();

    int status = 0;
    try {
        if (!control.OpenTaskOrBatch(ExpandRelativePath(std::string(), file))) {
            status = 1;
        } else if (EndsWithBatch(file)) {
            status = control.RunTaskList() ? 0 : 1;
        } else if (control.RunOneTask() < 0) {
            status = 1;
        }
    } catch (const std::exception& e) {
        err << "linkvane-cli: " << e.what() << "\n";
        status = 1;
    }
    poll.stop();
    std::signal(SIGINT, previous);
    return status;
}

const TCliRegistrar registrar(
    {"run", "run [--engine static|browser] [--set KEY=VALUE]... [--quiet] TASK.lvt|LIST.batch",
     RunRun});

} // namespace
} // namespace linkvane::cli
