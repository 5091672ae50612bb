// SPDX-License-Identifier: GPL-3.0-or-later
// The follow and combination searches: the engine alone, and the whole button press (engine,
// tally table, both grid models), on the real 3D history and on synthetic histories.
#include "CombinationSearch.h"
#include "FollowSearch.h"
#include "GridModels.h"
#include "HistoryStore.h"
#include "HistoryText.h"
#include "SampleHistory.h"
#include "Tally.h"

#include "BenchIndex.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <stdexcept>

using namespace brenvik;
using bench::indexFor;

namespace {

HistoryStore& scratchStore() {
    static std::unique_ptr<HistoryStore> store = [] {
        auto dir = std::filesystem::temp_directory_path() / "brenvik-bench-search";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        auto s = HistoryStore::open(dir / kDatabaseFile);
        if (!s)
            throw std::runtime_error(s.error().message);
        return std::move(*s);
    }();
    return *store;
}

// Mode by argument: 0 free/last, 1 free/N back, 2 fixed/last, 3 fixed/N back.
FollowQuery followQuery(const SearchIndex& index, std::int64_t mode) {
    FollowQuery q;
    q.freePositions = mode < 2;
    q.lastDraw = mode % 2 == 0;
    q.n = 3;
    const DrawRow& source = index.history()[index.size() - (q.lastDraw ? 1 : 3)];
    for (int p = 0; p < 3; ++p)
        q.pattern[static_cast<std::size_t>(p)] = source.digit(p + 1);
    q.rangeStart = index.issue(0) + 1;
    q.rangeEnd = index.issue(index.size() - 1);
    return q;
}

void label(benchmark::State& state, std::int64_t size, const char* mode) {
    state.SetLabel(std::string(size == 0 ? "real 3D" : std::to_string(size) + " draws") + ", " + mode);
}

const char* kModes[] = {"free/last", "free/N back", "fixed/last", "fixed/N back"};

void BM_FollowEngine(benchmark::State& state) {
    const SearchIndex& index = indexFor(state.range(0));
    const FollowQuery q = followQuery(index, state.range(1));
    std::size_t matched = 0;
    for (auto _ : state) {
        const Selection s = followSearch(index, q);
        matched = s.rows.size();
        benchmark::DoNotOptimize(matched);
    }
    label(state, state.range(0), kModes[state.range(1)]);
    state.counters["matched"] = static_cast<double>(matched);
}

// The whole press of the button: engine, tally, tally table, both grids, and the rows of the
// matched-draws grid a screen shows.
void pressResult(const SearchIndex& index, const Selection& s, bool lastDraw, int n) {
    static ui::MatchedGridModel matched;
    static ui::ResultGridModel result;
    matched.setMatches(MatchedDraws(std::make_shared<const SearchIndex>(index.snapshot()), s.rows,
                                    Kind::Number, lastDraw, n),
                       lastDraw);
    for (int row = 0; row < std::min(40, matched.rowCount()); ++row)
        for (int column = 0; column < matched.columnCount(); ++column)
            benchmark::DoNotOptimize(matched.gridText(row + 1, column));
    const Tally tally = tallyOutcomes(index.history(), s.rows, Kind::Number, 1, false, 1);
    result.setTally(tally);
    if (!scratchStore().writeTally(tally.byOutcome))
        throw std::runtime_error("tally");
}

void BM_FollowButton(benchmark::State& state) {
    const SearchIndex& index = indexFor(state.range(0));
    const FollowQuery q = followQuery(index, state.range(1));
    for (auto _ : state)
        pressResult(index, followSearch(index, q), q.lastDraw, q.n);
    label(state, state.range(0), kModes[state.range(1)]);
}

CombinationQuery combinationQuery(const SearchIndex& index, std::int64_t mode, std::int64_t size) {
    CombinationQuery q{followQuery(index, mode)};
    q.size = static_cast<int>(size);
    return q;
}

void BM_CombinationEngine(benchmark::State& state) {
    const SearchIndex& index = indexFor(state.range(0));
    const CombinationQuery q = combinationQuery(index, state.range(1), state.range(2));
    std::size_t matched = 0;
    for (auto _ : state) {
        matched = combinationSearch(index, q).rows.size();
        benchmark::DoNotOptimize(matched);
    }
    label(state, state.range(0),
          (std::string(kModes[state.range(1)]) + ", size " + std::to_string(state.range(2))).c_str());
    state.counters["matched"] = static_cast<double>(matched);
}

void BM_CombinationButton(benchmark::State& state) {
    const SearchIndex& index = indexFor(state.range(0));
    const CombinationQuery q = combinationQuery(index, state.range(1), state.range(2));
    for (auto _ : state)
        pressResult(index, combinationSearch(index, q), q.lastDraw, q.n);
    label(state, state.range(0),
          (std::string(kModes[state.range(1)]) + ", size " + std::to_string(state.range(2))).c_str());
}

void BM_BuildIndex(benchmark::State& state) {
    const auto draws = state.range(0) == 0
                           ? test::sampleDraws("fc3d-history.txt")
                           : test::syntheticDraws(static_cast<std::size_t>(state.range(0)), 42);
    const auto snapshot = std::make_shared<const HistorySnapshot>(rowsFromDraws(draws, 1));
    for (auto _ : state) {
        SearchIndex index(snapshot);
        benchmark::DoNotOptimize(index.size());
    }
    state.SetLabel(state.range(0) == 0 ? "real 3D" : std::to_string(state.range(0)) + " draws");
}

} // namespace

BENCHMARK(BM_FollowEngine)->ArgsProduct({{0, 100000, 1000000}, {0, 1, 2, 3}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FollowButton)->ArgsProduct({{0, 100000, 1000000}, {0, 1, 2, 3}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CombinationEngine)
    ->ArgsProduct({{0, 1000000}, {0, 2}, {1, 2, 3}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CombinationButton)
    ->ArgsProduct({{0, 1000000}, {0, 1, 2, 3}, {1, 2, 3}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildIndex)->Arg(0)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
