// SPDX-License-Identifier: GPL-3.0-or-later
// The walk-forward backtest on the real 3D history and on synthetic histories, in the four modes;
// without twins, then with the twenty of the default.
#include "Backtest.h"
#include "HistoryText.h"
#include "SampleHistory.h"

#include "BenchIndex.h"

#include <benchmark/benchmark.h>

#include <map>
#include <stdexcept>

using namespace brenvik;
using bench::indexFor;

namespace {

const char* kModes[] = {"free/last", "free/N back", "fixed/last", "fixed/N back"};

// Mode by argument: 0 free/last, 1 free/N back, 2 fixed/last, 3 fixed/N back; all positions
// checked, N = 3, the number at position 1 counted, one pick, every per-target row kept.
void BM_Backtest(benchmark::State& state) {
    const SearchIndex& index = indexFor(state.range(0));
    stats::BacktestOptions o;
    o.freePositions = state.range(1) < 2;
    o.lastDraw = state.range(1) % 2 == 0;
    o.n = 3;
    o.twins = static_cast<int>(state.range(2));
    long long predictions = 0;
    for (auto _ : state) {
        const auto r = stats::runBacktest(index, o);
        if (!r)
            throw std::runtime_error(r.error().message);
        predictions = r->predictions;
        benchmark::DoNotOptimize(r->rows.data());
    }
    state.SetLabel(std::string(state.range(0) == 0 ? "real 3D" : std::to_string(state.range(0)) + " draws") +
                   ", " + kModes[state.range(1)] + ", " + std::to_string(o.twins) + " twins");
    state.counters["predictions"] = static_cast<double>(predictions);
}

} // namespace

BENCHMARK(BM_Backtest)->ArgsProduct({{0, 100000, 1000000}, {0, 1, 2, 3}, {0}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Backtest)->ArgsProduct({{0}, {0, 1, 2, 3}, {20}})->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
