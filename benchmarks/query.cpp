// The query engine on the shared 1.4 MB page with 10,000 links in table rows.
//
//   bench_query                      run the benchmarks
//   bench_query --write-page=FILE    write the page (for benchmarks/compare_lxml.sh)
//
// Each benchmark loads a fresh document outside the timed part, so the
// figures are the time beyond the parse.
#include "BenchPages.h"
#include "browser/TStaticWebBrowser.h"
#include "query/LinkElement.h"
#include "query/uCoreDataExtractor.h"

#include <QCoreApplication>
#include <QFile>

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

namespace linkvane {
namespace {

const std::string& Page() {
    return bench::TenThousandLinkPage();
}

struct TLoadedPage {
    TStaticWebBrowser Browser;
    TCoreDataExtractor Engine;

    TLoadedPage() { Engine.SetMainWB(&Browser); }
    void Load() {
        Browser.LoadHtml(QByteArray::fromStdString(Page()),
                         QStringLiteral("http://shop.example.com/catalogue/index.html"));
        // Lets the engine drop the previous page now, as part of the load,
        // not inside the first query that follows.
        Engine.SetMainWB(&Browser);
    }
};

void BM_Parse(benchmark::State& state) {
    TLoadedPage page;
    for (auto _ : state) {
        page.Load();
        benchmark::DoNotOptimize(page.Browser.Document());
    }
    state.counters["bytes"] = static_cast<double>(Page().size());
}
BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond);

void BM_AllLinksRead(benchmark::State& state) {
    TLoadedPage page;
    size_t items = 0;
    for (auto _ : state) {
        state.PauseTiming();
        page.Load();
        state.ResumeTiming();
        std::vector<int32_t> positions;
        const TNode links = page.Engine.GetNodeCollection(".A", positions);
        std::string url;
        std::string text;
        for (int32_t p : positions) {
            ReadLinkElement(links.Item(p), url, text);
            benchmark::DoNotOptimize(url);
            benchmark::DoNotOptimize(text);
        }
        items = positions.size();
    }
    state.counters["items"] = static_cast<double>(items);
}
BENCHMARK(BM_AllLinksRead)->Unit(benchmark::kMillisecond);

void BM_LinksByText(benchmark::State& state) {
    TLoadedPage page;
    size_t items = 0;
    for (auto _ : state) {
        state.PauseTiming();
        page.Load();
        state.ResumeTiming();
        std::vector<int32_t> positions;
        benchmark::DoNotOptimize(page.Engine.GetNodeCollection("A(PosText('7')>0)", positions));
        items = positions.size();
    }
    state.counters["items"] = static_cast<double>(items);
}
BENCHMARK(BM_LinksByText)->Unit(benchmark::kMillisecond);

void BM_RelativeCellOfEveryLink(benchmark::State& state) {
    TLoadedPage page;
    size_t found = 0;
    for (auto _ : state) {
        state.PauseTiming();
        page.Load();
        std::vector<int32_t> positions;
        const TNode links = page.Engine.GetNodeCollection(".A", positions);
        state.ResumeTiming();
        found = 0;
        for (int32_t p : positions)
            found +=
                VarHasValue(page.Engine.GetRelativeNode(links.Item(p), "PARENTNODE('TR').TD[2]"));
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_RelativeCellOfEveryLink)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace linkvane

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--write-page=", 13) == 0) {
            QFile f(QString::fromLocal8Bit(argv[i] + 13));
            const std::string& page = linkvane::Page();
            if (!f.open(QIODevice::WriteOnly) ||
                f.write(page.data(), static_cast<qint64>(page.size())) !=
                    static_cast<qint64>(page.size()))
                return 1;
            return 0;
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
