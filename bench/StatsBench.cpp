// SPDX-License-Identifier: GPL-3.0-or-later
// How long the window and the companion wait for a tally's comparison with chance: the chi-squared
// case of an ordinary tally, and the exact count at its largest.
#include "TallyStatistics.h"

#include <benchmark/benchmark.h>

#include <vector>

using namespace brenvik::stats;

namespace {

// A number tally of 400 codes (a follow search on the real history finds a few hundred draws).
void BM_TallyStatisticsChiSquared(benchmark::State& state) {
    const std::vector<int> counts = {52, 47, 44, 43, 41, 40, 37, 35, 31, 30};
    for (auto _ : state)
        benchmark::DoNotOptimize(tallyStatistics(counts));
}
BENCHMARK(BM_TallyStatisticsChiSquared)->Unit(benchmark::kMicrosecond);

// The largest tally that is counted exactly: 49 codes on 10 outcomes (one short of 5 each).
void BM_TallyStatisticsExact(benchmark::State& state) {
    const std::vector<int> counts = {9, 7, 6, 5, 5, 5, 4, 4, 3, 1};
    for (auto _ : state)
        benchmark::DoNotOptimize(tallyStatistics(counts));
}
BENCHMARK(BM_TallyStatisticsExact)->Unit(benchmark::kMillisecond);

// A segment tally just below the switch: 24 codes on 5 outcomes.
void BM_TallyStatisticsExactSegment(benchmark::State& state) {
    const std::vector<int> counts = {8, 6, 4, 4, 2};
    for (auto _ : state)
        benchmark::DoNotOptimize(tallyStatistics(counts));
}
BENCHMARK(BM_TallyStatisticsExactSegment)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
