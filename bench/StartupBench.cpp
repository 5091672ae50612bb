// Opening the real 3D history: database, snapshot and the history grid's model.
#include "GridModels.h"
#include "HistoryStore.h"
#include "HistoryText.h"
#include "SampleHistory.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <stdexcept>

using namespace brenvik;

namespace {

std::filesystem::path preparedFolder() {
    static const std::filesystem::path folder = [] {
        auto dir = std::filesystem::temp_directory_path() / "brenvik-bench-startup";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        auto file = readHistoryFile(std::filesystem::path(BRENVIK_SAMPLES) / "fc3d-history.txt");
        auto store = HistoryStore::open(dir / kDatabaseFile);
        if (!file || !store || !(*store)->replaceAll(rowsFromDraws(file->draws, 1)))
            throw std::runtime_error("cannot prepare the benchmark database");
        return dir;
    }();
    return folder;
}

void BM_OpenAndSnapshot(benchmark::State& state) {
    const auto file = preparedFolder() / kDatabaseFile;
    std::size_t rows = 0;
    for (auto _ : state) {
        auto store = HistoryStore::open(file);
        auto snapshot = (*store)->loadSnapshot();
        rows = (*snapshot)->size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["draws"] = static_cast<double>(rows);
}

// The check on opening reads every page, so it grows with the history: a million draws is the
// largest history the program is built for.
void BM_OpenAndSnapshotMillion(benchmark::State& state) {
    static const std::filesystem::path folder = [] {
        auto dir = std::filesystem::temp_directory_path() / "brenvik-bench-startup-million";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        test::writeDatabase(dir, test::syntheticDraws(1'000'000, 42));
        return dir;
    }();
    for (auto _ : state) {
        auto store = HistoryStore::open(folder / kDatabaseFile);
        auto snapshot = (*store)->loadSnapshot();
        benchmark::DoNotOptimize((*snapshot)->size());
    }
}

void BM_OpenSnapshotAndGridModel(benchmark::State& state) {
    const auto file = preparedFolder() / kDatabaseFile;
    ui::HistoryGridModel model;
    for (auto _ : state) {
        auto store = HistoryStore::open(file);
        auto snapshot = (*store)->loadSnapshot();
        model.setHistory(**snapshot);
        benchmark::DoNotOptimize(model.rowCount());
    }
    state.counters["draws"] = model.rowCount();
}

} // namespace

BENCHMARK(BM_OpenAndSnapshot)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenSnapshotAndGridModel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndSnapshotMillion)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
