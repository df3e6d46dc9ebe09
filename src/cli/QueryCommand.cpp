// linkvane-cli query [--engine NAME] [--base-url URL] PAGE NODEPATH: loads a
// page and prints what the link extraction reads from each element that the
// path selects.
#include "cli/Cli.h"

#include "browser/TStaticWebBrowser.h"
#include "query/ExpressParse.h"
#include "query/LinkElement.h"
#include "query/uCoreDataExtractor.h"
#include "support/Exception.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <cstdint>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace linkvane::cli {
namespace {

constexpr const char* Usage = "query [--engine static|browser] [--base-url URL] PAGE NODEPATH";

/// Seconds after which loading is stopped and the page read as it stands.
constexpr int PageTimeoutSeconds = 30;

/// Runs the event loop until the browser reports its page complete (at most
/// PageTimeoutSeconds, then loading is stopped). Unlike the polling page
/// wait of a run, this returns the moment the page is there.
void WaitForPage(TWebBrowser& Browser) {
    if (!Browser.Busy() && Browser.ReadyState() == TWebBrowser::ReadyStateComplete)
        return;
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&Browser, &TWebBrowser::DocumentComplete, &loop, &QEventLoop::quit);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    timeout.start(PageTimeoutSeconds * 1000);
    loop.exec();
    if (Browser.Busy())
        Browser.Stop();
}

/// Freeing a large page takes about as long as querying it, and the process
/// ends right after the command: the last page is left for the system to
/// reclaim (one page at most, the previous one is freed when it is replaced).
void KeepUntilExit(const TNode& Document) {
    static TNode* kept = new TNode;
    *kept = Document;
}

/// A page's trees take about fifty times its size in small blocks, and the
/// first touch of each 4 KB page of them took a third of the time of a
/// query. So the heap is grown once, well ahead, and the kernel is asked for
/// 2 MB pages there (granted where it offers them on request; elsewhere this
/// only sets the heap's growth steps). Once per process.
void PrepareHeapForLargePages() {
    static bool done = false;
    if (done)
        return;
    done = true;
    constexpr uintptr_t LargePage = uintptr_t(2) << 20;
    constexpr int Reserve = 256 << 20;
    // Large blocks come from the heap too, not from mappings of their own,
    // and freed memory stays in it for the next page.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 2 * Reserve);
    mallopt(M_TOP_PAD, Reserve);
    const auto start = reinterpret_cast<uintptr_t>(sbrk(0));
    // A block larger than the free space at the top makes the heap grow by
    // Reserve (volatile: the compiler may drop a malloc that is only freed).
    void* volatile probe = malloc(LargePage);
    const auto end = reinterpret_cast<uintptr_t>(sbrk(0));
    free(probe);
    mallopt(M_TOP_PAD, 16 << 20);
    const uintptr_t from = (start + LargePage - 1) & ~(LargePage - 1);
    const uintptr_t to = end & ~(LargePage - 1);
    if (to > from)
        madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

int UsageError(std::ostream& err, const std::string& message) {
    if (!message.empty())
        err << "linkvane-cli query: " << message << "\n";
    err << "usage: linkvane-cli " << Usage << "\n";
    return 2;
}

int RunQuery(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string engine = "static";
    std::string baseUrl;
    bool hasBaseUrl = false;
    std::vector<std::string> positional;
    bool optionsDone = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsDone || a.size() < 2 || a[0] != '-') {
            positional.push_back(a);
        } else if (a == "--") {
            optionsDone = true;
        } else if (a == "--engine" || a == "--base-url") {
            if (i + 1 == args.size())
                return UsageError(err, "'" + a + "' needs a value");
            (a == "--engine" ? engine : baseUrl) = args[++i];
            hasBaseUrl = hasBaseUrl || a == "--base-url";
        } else if (a.rfind("--engine=", 0) == 0) {
            engine = a.substr(9);
        } else if (a.rfind("--base-url=", 0) == 0) {
            baseUrl = a.substr(11);
            hasBaseUrl = true;
        } else {
            return UsageError(err, "unknown option '" + a + "'");
        }
    }
    if (positional.size() != 2)
        return UsageError(err, "");
    PrepareHeapForLargePages();
    const std::string& page = positional[0];
    const std::string& nodePath = positional[1];

    try {
        TNodePath parsed;
        ParseNodePath(parsed, nodePath);
    } catch (const Exception& e) {
        err << e.what() << "\n";
        return 1;
    }

    std::unique_ptr<TWebBrowser> browser;
    try {
        browser = CreateWebBrowser(QString::fromStdString(engine));
    } catch (const Exception& e) {
        return UsageError(err, e.what());
    }

    // The engine reports a page it could not load in its status text (and
    // shows an error page); such a page has no links to list.
    QStringList failures;
    QObject::connect(browser.get(), &TWebBrowser::StatusTextChange, browser.get(),
                     [&failures](const QString& Text) {
                         if (Text.startsWith(QLatin1String("Cannot open ")))
                             failures << Text;
                     });
    const QString pageText = QString::fromStdString(page);
    const QFileInfo file(pageText);
    const bool isFile = file.exists() && file.isFile();
    if (hasBaseUrl) {
        auto* staticBrowser = dynamic_cast<TStaticWebBrowser*>(browser.get());
        if (!staticBrowser)
            return UsageError(err, "--base-url needs the static engine");
        if (!isFile)
            return UsageError(err, "--base-url needs a local file as PAGE");
        QFile f(file.absoluteFilePath());
        if (!f.open(QIODevice::ReadOnly)) {
            err << "Cannot read " << page << ": " << f.errorString().toStdString() << "\n";
            return 1;
        }
        staticBrowser->LoadHtml(f.readAll(), QString::fromStdString(baseUrl));
    } else if (isFile) {
        browser->Navigate(QUrl::fromLocalFile(file.absoluteFilePath()).toString());
    } else {
        browser->Navigate(pageText);
    }
    WaitForPage(*browser);
    const QString pageFailure =
        QStringLiteral("Cannot open ") + browser->LocationURL() + QStringLiteral(": ");
    for (const QString& failure : failures) {
        if (failure.startsWith(pageFailure)) {
            err << failure.toStdString() << "\n";
            return 1;
        }
    }

    try {
        TCoreDataExtractor extractor;
        extractor.SetMainWB(browser.get());
        std::vector<int32_t> positions;
        const TNode collection = extractor.GetNodeCollection(nodePath, positions);
        std::string lines;
        lines.reserve(positions.size() * 96);
        std::string url;
        std::string text;
        for (int32_t position : positions) {
            ReadLinkElement(collection.Item(position), url, text);
            lines += std::to_string(position);
            lines += '\t';
            AppendEscaped(lines, url);
            lines += '\t';
            AppendEscaped(lines, text);
            lines += '\n';
        }
        out << lines;
        KeepUntilExit(extractor.CurrentDocument());
    } catch (const std::exception& e) {
        err << e.what() << "\n";
        return 1;
    }
    out.flush();
    return out.good() ? 0 : 1;
}

const TCliRegistrar registrar({"query", Usage, RunQuery});

} // namespace
} // namespace linkvane::cli
