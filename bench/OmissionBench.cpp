// SPDX-License-Identifier: GPL-3.0-or-later
// The omission table and the trend chart's omissions, on the real 3D history and on a synthetic
// history of 1,000,000 draws.
#include "HistoryText.h"
#include "Omission.h"
#include "SampleHistory.h"
#include "SearchIndex.h"

#include "BenchIndex.h"

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

using namespace brenvik;
using bench::indexFor;
using namespace brenvik::stats;

namespace {

void label(benchmark::State& state, const char* what) {
    const std::int64_t size = state.range(0);
    state.SetLabel(std::string(size == 0 ? "real 3D" : std::to_string(size) + " draws") + ", " + what);
}

void BM_OmissionTable(benchmark::State& state) {
    const SearchIndex& index = indexFor(state.range(0));
    const DrawDigits digits = drawDigits(index);
    const RowRange range = state.range(1) == 0 ? allDraws(index.size()) : lastDraws(index.size());
    for (auto _ : state) {
        const OmissionTable table = omissionTable(digits, range);
        benchmark::DoNotOptimize(table.sum[0].current);
    }
    label(state, state.range(1) == 0 ? "R = all" : "R = last 100");
}

// Once per change of the history, before the chart shows anything.
void BM_ChartIndex(benchmark::State& state) {
    const SearchIndex& index = indexFor(state.range(0));
    for (auto _ : state) {
        const OmissionChart chart(drawDigits(index));
        benchmark::DoNotOptimize(chart.size());
    }
    label(state, "checkpoints");
}

// One screen of 40 rows at the end of the history, as the chart opens on it.
void BM_ChartScreen(benchmark::State& state) {
    const SearchIndex& index = indexFor(state.range(0));
    const OmissionChart chart(drawDigits(index));
    const RowRange range = state.range(1) == 0 ? allDraws(index.size()) : lastDraws(index.size());
    for (auto _ : state) {
        const auto rows = chart.rows(range, range.last - 40, range.last);
        benchmark::DoNotOptimize(rows.data());
    }
    label(state, state.range(1) == 0 ? "R = all" : "R = last 100");
}

} // namespace

BENCHMARK(BM_OmissionTable)->ArgsProduct({{0, 1000000}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ChartIndex)->Arg(0)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ChartScreen)->ArgsProduct({{0, 1000000}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
