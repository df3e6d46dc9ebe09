// Text search over a 1 MB page: the case-insensitive forward search against
// the C library's memmem on the same data, and the star pattern matcher with
// three segments. Targets: SearchForwardNoCase at least as fast as memmem,
// MatchStarPattern at least 300 MB/s.
#include "support/FastStringUtils.h"
#include "support/FastStrings.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>

namespace {

using namespace linkvane;

constexpr size_t PageSize = 1 << 20;

/// About 1 MB of HTML-like text of mixed case with one "NextPage>>" link at
/// its very end, so every search runs over the whole page.
const std::string& Page() {
    static const std::string page = [] {
        std::mt19937 rng(42);
        const char* words[] = {"the",   "Next",   "page",   "of",   "Results", "href",
                               "class", "item",   "Search", "link", "<a",      "</a>",
                               "<div",  "</div>", "=\"x\"", "next", "Page",    "archive"};
        std::string s;
        s.reserve(PageSize + 64);
        while (s.size() < PageSize - 40) {
            s += words[std::uniform_int_distribution<size_t>(0, std::size(words) - 1)(rng)];
            s += rng() % 7 == 0 ? '\n' : ' ';
        }
        s += "<a href=\"/p2\">NextPage>></a>";
        return s;
    }();
    return page;
}

void BM_SearchForwardNoCase(benchmark::State& state) {
    const std::string& text = Page();
    const std::string pattern = "nextpage>>";
    int32_t pos = 0;
    for (auto _ : state) {
        pos = SearchForwardNoCase(text.data(), pattern.data(), static_cast<int32_t>(text.size()),
                                  static_cast<int32_t>(pattern.size()), 1);
        benchmark::DoNotOptimize(pos);
    }
    if (pos == 0) {
        state.SkipWithError("pattern not found");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_SearchForwardNoCase);

/// A pattern made of the page's most frequent bytes, found nowhere: many
/// windows start and end like it.
void BM_SearchForwardNoCaseFrequentBytes(benchmark::State& state) {
    const std::string& text = Page();
    const std::string pattern = "the thethe";
    int32_t pos = 1;
    for (auto _ : state) {
        pos = SearchForwardNoCase(text.data(), pattern.data(), static_cast<int32_t>(text.size()),
                                  static_cast<int32_t>(pattern.size()), 1);
        benchmark::DoNotOptimize(pos);
    }
    if (pos != 0) {
        state.SkipWithError("pattern found");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_SearchForwardNoCaseFrequentBytes);

void BM_MemmemFrequentBytes(benchmark::State& state) {
    const std::string& text = Page();
    const std::string pattern = "the thethe";
    const void* found = nullptr;
    for (auto _ : state) {
        found = memmem(text.data(), text.size(), pattern.data(), pattern.size());
        benchmark::DoNotOptimize(found);
    }
    if (found != nullptr) {
        state.SkipWithError("pattern found");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_MemmemFrequentBytes);

void BM_SearchForward(benchmark::State& state) {
    const std::string& text = Page();
    const std::string pattern = "NextPage>>";
    int32_t pos = 0;
    for (auto _ : state) {
        pos = SearchForward(text.data(), pattern.data(), static_cast<int32_t>(text.size()),
                            static_cast<int32_t>(pattern.size()), 1);
        benchmark::DoNotOptimize(pos);
    }
    if (pos == 0) {
        state.SkipWithError("pattern not found");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_SearchForward);

/// The reference: memmem is case-sensitive, so it gets the pattern in the
/// case it has in the text.
void BM_Memmem(benchmark::State& state) {
    const std::string& text = Page();
    const std::string pattern = "NextPage>>";
    const void* found = nullptr;
    for (auto _ : state) {
        found = memmem(text.data(), text.size(), pattern.data(), pattern.size());
        benchmark::DoNotOptimize(found);
    }
    if (found == nullptr) {
        state.SkipWithError("pattern not found");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_Memmem);

/// Three segments, case-insensitive as the query engine calls it; the middle
/// one occurs only at the end of the page.
void BM_MatchStarPattern3(benchmark::State& state) {
    const std::string& text = Page();
    const std::string pattern = "<a href=*nextpage>>*</a>";
    bool found = false;
    for (auto _ : state) {
        int32_t first = 0;
        int32_t last = 0;
        found = MatchStarPattern(text, pattern, static_cast<int32_t>(text.size()), 1, false, first,
                                 last);
        benchmark::DoNotOptimize(first);
        benchmark::DoNotOptimize(last);
    }
    if (!found) {
        state.SkipWithError("pattern not found");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_MatchStarPattern3);

} // namespace

BENCHMARK_MAIN();
