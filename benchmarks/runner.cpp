// The task runner over local pages: a list run of many small pages, and the
// writing of one page's 10,000 links into the result file.
#include "BenchPages.h"

#include "browser/TStaticWebBrowser.h"
#include "runner/uURLExtractor.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <fstream>

namespace linkvane {
namespace {

namespace fs = std::filesystem;

/// A folder with a task, its list file and its pages; removed at the end.
struct TBenchTask {
    fs::path Dir;
    TBenchTask(int pageCount, const std::string& pageBody) {
        Dir = fs::temp_directory_path() / ("linkvane-bench-" + std::to_string(::getpid()));
        fs::create_directories(Dir);
        std::ofstream list(Dir / "list.txt", std::ios::binary);
        for (int i = 0; i < pageCount; ++i) {
            const std::string name = "p" + std::to_string(i) + ".html";
            std::ofstream(Dir / name, std::ios::binary) << pageBody;
            list << "file://" << (Dir / name).string() << "\r\n";
        }
        std::ofstream(Dir / "task.lvt", std::ios::binary)
            << "[Input]\r\nURLMidListFileName=list.txt\r\n[Output]\r\nLayoutType=3\r\n"
               "OutputTextFileName=out.txt\r\n[Options]\r\nMinRepeatTimes=0\r\n";
    }
    ~TBenchTask() {
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }
    std::string Task() const { return (Dir / "task.lvt").string(); }
    std::string Output() const { return (Dir / "out.txt").string(); }
};

void BM_ListRunOfSmallPages(benchmark::State& state) {
    const int pages = static_cast<int>(state.range(0));
    std::string body = "<html><body><h1>Small page</h1><ul>";
    for (int i = 0; i < 20; ++i) {
        body +=
            "<li><a href=\"/a/" + std::to_string(i) + "\">Link " + std::to_string(i) + "</a></li>";
    }
    body += "</ul></body></html>";
    TBenchTask task(pages, body);
    TStaticWebBrowser browser;
    TURLExtractor runner;
    runner.LoadParam(task.Task());
    runner.SetWebBrowser(&browser);
    double totalMs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(runner.Execute());
        totalMs +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        state.PauseTiming();
        fs::remove(task.Output());
        state.ResumeTiming();
    }
    state.counters["ms_per_page"] = totalMs / static_cast<double>(state.iterations() * pages);
}
BENCHMARK(BM_ListRunOfSmallPages)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime();

/// ExtractPage of the 10,000-link page already shown: the query, the filters,
/// the duplicate test and writing 10,000 lines (the load is outside the timing).
void BM_ExtractAndWrite10000Links(benchmark::State& state) {
    TBenchTask task(0, "");
    TStaticWebBrowser browser;
    TURLExtractor runner;
    runner.LoadParam(task.Task());
    runner.SetWebBrowser(&browser);
    browser.LoadHtml(QByteArray::fromStdString(bench::TenThousandLinkPage()),
                     QStringLiteral("http://www.example.com/list/index.html"));
    runner.PrepareRun();
    int stored = 0;
    for (auto _ : state) {
        stored = runner.ExtractPage(0, 0);
        state.PauseTiming();
        std::ofstream(task.Output(), std::ios::trunc);
        state.ResumeTiming();
    }
    state.counters["links"] = stored;
}
BENCHMARK(BM_ExtractAndWrite10000Links)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace linkvane

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
