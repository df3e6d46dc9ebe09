// The browser engine (Qt WebEngine), off screen. Targets: a snapshot of the
// 1.4 MB, 10,000-link page (the page script that serializes the live page,
// the transfer, the parse into our document model) at most 150 ms
// (BM_SnapshotOf10000LinkPage); a list run over 50 small local pages with
// MinRepeatTimes 0 at most 100 ms per page on average (ms_per_page of
// BM_ListRunOf50SmallPages). Times are wall-clock: the page lives in
// Chromium's own processes.
#include "BenchPages.h"

#include "browser/PageWaitSettings.h"
#include "browser/WebTools.h"
#include "gui/BrowserEngine.h"
#include "gui/TWebEngineBrowser.h"
#include "runner/uURLExtractor.h"

#include <QApplication>
#include <QUrl>
#include <QWebEnginePage>
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace linkvane {
namespace {

namespace fs = std::filesystem;

/// A folder of files, removed at the end.
struct TBenchDir {
    fs::path Dir;
    explicit TBenchDir(const std::string& Name) {
        Dir = fs::temp_directory_path() /
              ("linkvane-bench-" + Name + "-" + std::to_string(::getpid()));
        fs::create_directories(Dir);
    }
    ~TBenchDir() {
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }
    std::string Write(const std::string& Name, const std::string& Bytes) const {
        std::ofstream(Dir / Name, std::ios::binary) << Bytes;
        return (Dir / Name).string();
    }
};

/// Runs Script in the page's own world and waits for it.
void RunInPage(TWebEngineBrowser& Browser, const QString& Script) {
    bool done = false;
    Browser.Page()->runJavaScript(Script, 0, [&done](const QVariant&) { done = true; });
    while (!done)
        SpinMessages(1);
}

void BM_SnapshotOf10000LinkPage(benchmark::State& state) {
    TBenchDir dir("snapshot");
    const std::string file = dir.Write("page.html", bench::TenThousandLinkPage());
    SetPageWaitSettings(0, 0, 60);
    TWebEngineBrowser browser;
    browser.Navigate(QUrl::fromLocalFile(QString::fromStdString(file)).toString());
    WaitPageReady(browser);
    int links = 0;
    int n = 0;
    for (auto _ : state) {
        // A change of the live page, so that the refresh takes a new snapshot.
        state.PauseTiming();
        RunInPage(browser, QStringLiteral("document.body.setAttribute('data-n', '%1')").arg(++n));
        WaitWithMessages(TWebEngineBrowser::RecheckIntervalMs + 10, true);
        state.ResumeTiming();
        browser.RefreshDocument();
        state.PauseTiming();
        links = browser.Document().Tags("A").Length();
        if (browser.Document().Body().GetRawAttribute("data-n") != std::to_string(n))
            state.SkipWithError("The snapshot does not show the changed page");
        state.ResumeTiming();
    }
    state.counters["links"] = links;
    state.SetBytesProcessed(int64_t(state.iterations()) *
                            int64_t(bench::TenThousandLinkPage().size()));
}
BENCHMARK(BM_SnapshotOf10000LinkPage)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ListRunOf50SmallPages(benchmark::State& state) {
    constexpr int pages = 50;
    TBenchDir dir("list");
    std::string body = "<html><body><h1>Small page</h1><ul>";
    for (int i = 0; i < 20; ++i)
        body +=
            "<li><a href=\"/a/" + std::to_string(i) + "\">Link " + std::to_string(i) + "</a></li>";
    body += "</ul></body></html>";
    std::string list;
    for (int i = 0; i < pages; ++i)
        list += "file://" + dir.Write("p" + std::to_string(i) + ".html", body) + "\r\n";
    dir.Write("list.txt", list);
    const std::string task = dir.Write(
        "task.lvt", "[Input]\r\nURLMidListFileName=list.txt\r\n[Output]\r\nLayoutType=3\r\n"
                    "OutputTextFileName=out.txt\r\n[Options]\r\nMinRepeatTimes=0\r\n");
    TWebEngineBrowser browser;
    TURLExtractor runner;
    runner.LoadParam(task);
    runner.SetWebBrowser(&browser);
    double totalMs = 0;
    int records = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        records = runner.Execute();
        totalMs +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        state.PauseTiming();
        fs::remove(dir.Dir / "out.txt");
        state.ResumeTiming();
    }
    if (records != pages * 20)
        state.SkipWithError("The run did not store every link");
    state.counters["ms_per_page"] = totalMs / static_cast<double>(state.iterations() * pages);
}
BENCHMARK(BM_ListRunOf50SmallPages)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
} // namespace linkvane

int main(int argc, char** argv) {
    linkvane::PrepareBrowserEngine(true);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
