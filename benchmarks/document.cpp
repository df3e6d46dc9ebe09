// A generated 1.4 MB page with 10,000 links in table rows. Targets: bytes to
// ready document at most twice MyHTML's bare parse of the same bytes
// (BM_BytesToDocument against BM_MyHtmlBareParse); reading Item(i), TagName,
// Href and InnerText of all 10,000 A elements through All.Tags("A") at most
// 10 ms (BM_ReadAllLinks, on a fresh document each time, processor time of
// the reads). Compare the CPU column of the first two. Also: hostile
// nesting (100,000 DIVs) parses in linear time.
#include "browser/Dom.h"

#include "BenchPages.h"

#include <benchmark/benchmark.h>
#include <myhtml/api.h>

#include <ctime>
#include <string>

namespace {

using namespace linkvane;

const std::string& Page() {
    return bench::TenThousandLinkPage();
}

TDocumentOptions Options() {
    TDocumentOptions options;
    options.URL = "http://www.example.com/list/index.html?page=1";
    return options;
}

void BM_MyHtmlBareParse(benchmark::State& state) {
    const std::string& page = Page();
    myhtml_t* myhtml = myhtml_create();
    myhtml_init(myhtml, MyHTML_OPTIONS_PARSE_MODE_SINGLE, 1, 0);
    for (auto _ : state) {
        myhtml_tree_t* tree = myhtml_tree_create();
        myhtml_tree_init(tree, myhtml);
        myhtml_parse(tree, MyENCODING_UTF_8, page.data(), page.size());
        benchmark::DoNotOptimize(myhtml_tree_get_node_body(tree));
        myhtml_tree_destroy(tree);
    }
    myhtml_destroy(myhtml);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(page.size()));
}
BENCHMARK(BM_MyHtmlBareParse)->Unit(benchmark::kMillisecond);

void BM_BytesToDocument(benchmark::State& state) {
    const std::string& page = Page();
    const TDocumentOptions options = Options();
    for (auto _ : state) {
        TNode doc = ParseHtmlDocument(page, options);
        benchmark::DoNotOptimize(doc.Body());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(page.size()));
}
BENCHMARK(BM_BytesToDocument)->Unit(benchmark::kMillisecond);

/// Processor time of this thread: the machine running the benchmarks is
/// shared, and wall time would count the time other programs had.
double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

void BM_ReadAllLinks(benchmark::State& state) {
    const std::string& page = Page();
    const TDocumentOptions options = Options();
    size_t total = 0;
    for (auto _ : state) {
        // A fresh document each time, so nothing read earlier is cached; only
        // the reads are timed.
        TNode doc = ParseHtmlDocument(page, options);
        const double start = ThreadCpuSeconds();
        TNode links = doc.All().Tags("A");
        for (int32_t i = 0, n = links.Length(); i < n; ++i) {
            TNode a = links.Item(i);
            total += a.TagName().size() + a.Href().size() + a.InnerText().size();
        }
        state.SetIterationTime(ThreadCpuSeconds() - start);
        if (links.Length() != 10001)
            state.SkipWithError("wrong number of links");
    }
    benchmark::DoNotOptimize(total);
}
BENCHMARK(BM_ReadAllLinks)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_DeepNesting(benchmark::State& state) {
    std::string page;
    for (int64_t i = 0; i < state.range(0); ++i)
        page += "<div>";
    page += "x";
    for (auto _ : state) {
        TNode doc = ParseHtmlDocument(page, Options());
        benchmark::DoNotOptimize(doc.Body().InnerText());
    }
}
BENCHMARK(BM_DeepNesting)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
