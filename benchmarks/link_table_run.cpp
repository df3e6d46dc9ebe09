// The runner storing the links of one page into an SQLite link table:
// ExtractPage with OutputType 2 over the shared 10,000-link page shown in the
// static engine, into an empty table and into one that already holds
// 1,000,000 rows (targets: at most 1 s; the second at most 20% slower).
// For the split of a page's time: BM_LoadPage loads that page (navigation and
// the readiness wait), BM_ExtractPageIntoTextFile extracts it into a result
// text file instead of the table.
//
// Arguments of the table case: rows already in the table, and whether LinkURL
// has a unique index.

#include "BenchLinkTable.h"
#include "BenchPages.h"

#include "browser/PageWaitSettings.h"
#include "browser/TStaticWebBrowser.h"
#include "browser/WebTools.h"
#include "runner/uURLExtractor.h"

#include <QCoreApplication>
#include <QUrl>
#include <benchmark/benchmark.h>

#include <fstream>

namespace linkvane {
namespace {

/// The page and two tasks over it in the benchmarks' folder: one storing
/// into a link table, one into a text file.
struct TRunFiles {
    std::string Page, TableTask, TextTask, TextOutput;
    TRunFiles() {
        const std::string dir = bench::WorkDir() + "/";
        Page = dir + "links10000.html";
        std::ofstream(Page, std::ios::binary) << bench::TenThousandLinkPage();
        // The data link file only has to exist when the task is loaded; the
        // benchmark gives the query its database itself.
        std::ofstream(dir + "links.udl", std::ios::binary)
            << "Provider=SQLite;Data Source=x.db\r\n";
        const std::string common = "[Input]\r\nURLMidListFileName=list.txt\r\n"
                                   "[Options]\r\nMinRepeatTimes=0\r\n";
        TableTask = dir + "table.lvt";
        std::ofstream(TableTask, std::ios::binary)
            << common
            << "[Output]\r\nOutputType=2\r\nDBConnectionFileName=links.udl\r\n"
               "TableSQL=SELECT * FROM Links\r\n";
        TextTask = dir + "text.lvt";
        TextOutput = dir + "out.txt";
        std::ofstream(TextTask, std::ios::binary)
            << common
            << "[Output]\r\nOutputType=1\r\nLayoutType=3\r\nOutputTextFileName=out.txt\r\n";
    }
};

const TRunFiles& Files() {
    static const TRunFiles files;
    return files;
}

/// The browser showing the 10,000-link page, kept to the end of the program
/// (its network access must not outlive the application object).
TStaticWebBrowser& ShownPage() {
    static TStaticWebBrowser* browser = [] {
        auto* b = new TStaticWebBrowser;
        b->Navigate(QUrl::fromLocalFile(QString::fromStdString(Files().Page)).toString());
        if (!WaitPageReady(*b)) {
            throw std::runtime_error("the page did not load");
        }
        return b;
    }();
    return *browser;
}

void BM_LoadPage(benchmark::State& state) {
    TStaticWebBrowser browser;
    const QString url = QUrl::fromLocalFile(QString::fromStdString(Files().Page)).toString();
    for (auto _ : state) {
        browser.Navigate(url);
        benchmark::DoNotOptimize(WaitPageReady(browser));
        state.PauseTiming();
        browser.Navigate(QStringLiteral("about:blank"));
        WaitPageReady(browser);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadPage)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExtractPageIntoTextFile(benchmark::State& state) {
    TURLExtractor runner;
    runner.LoadParam(Files().TextTask);
    runner.SetWebBrowser(&ShownPage());
    runner.PrepareRun();
    int stored = 0;
    for (auto _ : state) {
        std::ofstream(Files().TextOutput, std::ios::trunc);
        stored = runner.ExtractPage(0, 0);
    }
    state.counters["links"] = stored;
}
BENCHMARK(BM_ExtractPageIntoTextFile)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExtractPageIntoTable(benchmark::State& state) {
    const int64_t rowsBefore = state.range(0);
    const bool unique = state.range(1) != 0;
    TURLExtractor runner;
    runner.LoadParam(Files().TableTask);
    runner.SetWebBrowser(&ShownPage());
    runner.PrepareRun();
    TDBQuery& output = runner.OutputQuery();
    int stored = 0;
    for (auto _ : state) {
        // An empty table is a new one each round; the large one loses the
        // page's rows again after each round, so that every round stores all
        // of them (with the unique index too). The query opens inside the
        // timing, as it does for a run's first page.
        state.PauseTiming();
        const std::string connection =
            bench::LinkTableDatabase(rowsBefore, unique, rowsBefore == 0);
        output.Close();
        output.ConnectionString = connection;
        state.ResumeTiming();
        stored = runner.ExtractPage(0, 0);
        state.PauseTiming();
        output.Close();
        if (rowsBefore > 0) {
            bench::ExecSQL(connection,
                           "DELETE FROM Links WHERE ID > " + std::to_string(rowsBefore));
            bench::ExecSQL(connection, "PRAGMA wal_checkpoint(TRUNCATE)");
        }
        state.ResumeTiming();
    }
    // Every round stores the page's 10,001 links (the last is "Next").
    state.counters["links"] = stored;
}
BENCHMARK(BM_ExtractPageIntoTable)
    ->ArgNames({"rows_before", "unique_url"})
    ->Args({0, 0})
    ->Args({1000000, 0})
    ->Args({0, 1})
    ->Args({1000000, 1})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
} // namespace linkvane

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // A complete page counts at once, as in a task with MinRepeatTimes=0.
    linkvane::SetPageWaitSettings(0, 0, 90);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
