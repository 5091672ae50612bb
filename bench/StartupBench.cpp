// SPDX-License-Identifier: GPL-3.0-or-later
// Opening the real histories of both games: database, snapshot and the history grid's model; and
// the window's switch from one game's history to the other's.
#include "DataFolderUpgrade.h"
#include "Dialogs.h"
#include "GridModels.h"
#include "HistoryStore.h"
#include "HistoryText.h"
#include "SampleHistory.h"
#include "frmMain.h"

#include <QAction>
#include <QSettings>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <stdexcept>

using namespace brenvik;

namespace {

constexpr const char* kSamples[] = {"fc3d-history.txt", "pl3-history.txt"};

// A data folder holding both games' real histories.
std::filesystem::path preparedFolder() {
    static const std::filesystem::path folder = [] {
        auto dir = std::filesystem::temp_directory_path() / "brenvik-bench-startup";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        for (Game game : kGames) {
            auto file =
                readHistoryFile(std::filesystem::path(BRENVIK_SAMPLES) / kSamples[static_cast<int>(game)]);
            auto store = HistoryStore::open(dir / databaseFileName(game), game);
            if (!file || !store || !(*store)->replaceAll(rowsFromDraws(file->draws, 1)))
                throw std::runtime_error("cannot prepare the benchmark database");
        }
        return dir;
    }();
    return folder;
}

// Argument 0: 福彩3D, 1: 体彩排列3.
void BM_OpenAndSnapshot(benchmark::State& state) {
    const Game game = kGames[static_cast<std::size_t>(state.range(0))];
    const auto file = preparedFolder() / databaseFileName(game);
    std::size_t rows = 0;
    for (auto _ : state) {
        auto store = HistoryStore::open(file, game);
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

// What the window's start-up does with the history: the look for a folder to upgrade, then the
// game's database, its snapshot and the grid's model.
void BM_OpenSnapshotAndGridModel(benchmark::State& state) {
    const Game game = kGames[static_cast<std::size_t>(state.range(0))];
    const auto folder = preparedFolder();
    ui::HistoryGridModel model;
    for (auto _ : state) {
        if (!upgradeDataFolder(folder, gsZlOf(game)))
            state.SkipWithError("the folder check failed");
        auto store = HistoryStore::open(folder / databaseFileName(game), game);
        auto snapshot = (*store)->loadSnapshot();
        model.setHistory(**snapshot);
        benchmark::DoNotOptimize(model.rowCount());
    }
    state.counters["draws"] = model.rowCount();
}

// One choice in the game menu: the other game's history opened and shown in full (grid,
// proposal, range, pattern, title), the setting saved.
void BM_SwitchGames(benchmark::State& state) {
    const auto folder = preparedFolder();
    const auto config = std::filesystem::temp_directory_path() / "brenvik-bench-startup-config";
    qputenv("BRENVIK3D_HOME", QByteArray::fromStdString(folder.string()));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(config.string()));
    ui::Dialogs::Script dialogs; // nothing may wait for an answer
    auto window = ui::frmMain::open();
    if (!window) {
        state.SkipWithError("the window was refused its data folder");
        return;
    }
    QAction* items[] = {window->findChild<QAction*>("mnu3D(0)"), window->findChild<QAction*>("mnu3D(1)")};
    int next = window->game() == Game::Fc3d ? 1 : 0;
    for (auto _ : state) {
        items[next]->trigger();
        next = 1 - next;
    }
    state.counters["draws"] = static_cast<double>(window->history().size());
}

} // namespace

BENCHMARK(BM_OpenAndSnapshot)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenSnapshotAndGridModel)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwitchGames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndSnapshotMillion)->Unit(benchmark::kMillisecond);
