// Storing the links of one page into an SQLite link table: 10,000 rows
// appended through a query opened on "SELECT * FROM Links" and committed
// together, into an empty table and into one that already holds 1,000,000
// rows. The second should cost about the same as the first (target: at most
// 20% more; the first at most 1 s).
//
// Arguments of each case: rows already in the table, whether LinkURL has a
// unique index, and whether the query is closed and opened again after every
// 100 appended rows (each reopen commits).

#include "BenchLinkTable.h"

#include <benchmark/benchmark.h>

#include <QDateTime>

namespace {

using linkvane::TDBQuery;
using linkvane::bench::LinkTableDatabase;

constexpr int kPageRows = 10000;

/// Appends one page of links and commits them, as the runner stores a page.
void StorePage(TDBQuery& out, int64_t& serial, bool reopenEvery100) {
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < kPageRows; ++i) {
        const int64_t n = ++serial;
        out.Append();
        out.FieldByName("LinkURL").SetAsWideString(
            QStringLiteral("https://news.example.com/topics/%1/story-%2.html?utm=feed")
                .arg(n % 211)
                .arg(n));
        out.FieldByName("LinkText")
            .SetAsWideString(QStringLiteral("Story %1: a headline of ordinary length").arg(n));
        out.FieldByName("PageLevel").SetAsInteger(2);
        out.FieldByName("ParentID").SetAsInteger(12345);
        out.FieldByName("Processed").SetAsBoolean(false);
        out.FieldByName("ExtractTime").SetAsDateTime(now);
        if (i % 2 == 0) {
            out.FieldByName("ExtraData").SetAsString("section " + std::to_string(n % 17));
        }
        out.Post();
        if (reopenEvery100 && out.AppendedCount() > 100) {
            out.Close();
            out.Open();
        }
    }
    out.Commit();
}

void BM_StoreOnePage(benchmark::State& state) {
    const int64_t rowsBefore = state.range(0);
    const bool unique = state.range(1) != 0;
    const bool reopen = state.range(2) != 0;
    static int64_t serial = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // An empty table stays empty for every round; the large one grows by
        // a page a round, which is 1% of it. The query is open already, as
        // it is after the first link of a run.
        TDBQuery out;
        out.ConnectionString = LinkTableDatabase(rowsBefore, unique, rowsBefore == 0);
        out.SQL = "SELECT * FROM Links";
        out.Open();
        state.ResumeTiming();
        StorePage(out, serial, reopen);
        state.PauseTiming();
        out.Close();
        state.ResumeTiming();
    }
    state.counters["rows/s"] =
        benchmark::Counter(static_cast<double>(kPageRows) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}

/// Opening the output query: reads one row whatever the table's size.
void BM_OpenTableSQL(benchmark::State& state) {
    TDBQuery out;
    out.ConnectionString = LinkTableDatabase(state.range(0), false, false);
    out.SQL = "SELECT * FROM Links";
    for (auto _ : state) {
        out.Open();
        benchmark::DoNotOptimize(out.Eof());
        out.Close();
    }
}

BENCHMARK(BM_OpenTableSQL)->ArgNames({"rows"})->Arg(0)->Arg(1000000)->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_StoreOnePage)
    ->ArgNames({"rows_before", "unique_url", "reopen_100"})
    ->Args({0, 0, 0})
    ->Args({1000000, 0, 0})
    ->Args({0, 1, 0})
    ->Args({1000000, 1, 0})
    ->Args({0, 0, 1})
    ->Args({1000000, 0, 1})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
