// SPDX-License-Identifier: GPL-3.0-or-later
// History files and database maintenance: import, rebuild, compaction, exports.
// Goals: the real 3D history imports in under 30 ms, a file of 1,000,000 lines in under 3 s.
#include "ChartPage.h"
#include "Compaction.h"
#include "HistoryExport.h"
#include "HistoryRebuild.h"
#include "HistoryStore.h"
#include "HistoryText.h"
#include "IssueNumber.h"
#include "PageText.h"
#include "SafeWrite.h"
#include "Spreadsheet.h"
#include "UndoBackup.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <stdexcept>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace brenvik;

namespace {

const std::filesystem::path& benchFolder() {
    static const std::filesystem::path folder = [] {
        auto dir = std::filesystem::temp_directory_path() / "brenvik-bench-files";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        return dir;
    }();
    return folder;
}

std::filesystem::path realHistoryFile() {
    return std::filesystem::path(BRENVIK_SAMPLES) / "fc3d-history.txt";
}

// A million consecutive issues with digits of a fixed seed, written once per run.
const std::filesystem::path& millionLineFile() {
    static const std::filesystem::path file = [] {
        std::mt19937 gen(20240601);
        std::uniform_int_distribution<int> digit(0, 9);
        std::vector<DrawLine> draws;
        draws.reserve(1'000'000);
        std::int32_t issue = 2004001;
        for (int i = 0; i < 1'000'000; ++i) {
            draws.push_back({issue, {digit(gen), digit(gen), digit(gen)}});
            issue = nextIssueProposal(issue);
        }
        auto path = benchFolder() / "million.txt";
        if (!writeHistoryFile(path, draws))
            throw std::runtime_error("cannot write the million-line file");
        return path;
    }();
    return file;
}

std::unique_ptr<HistoryStore> openStore(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    auto store = HistoryStore::open(folder / databaseFileName(Game::Fc3d));
    if (!store)
        throw std::runtime_error(store.error().message);
    return std::move(*store);
}

void importFile(benchmark::State& state, const std::filesystem::path& file, const char* folder) {
    auto store = openStore(benchFolder() / folder);
    long long stored = 0;
    for (auto _ : state) {
        auto counts = importHistoryFile(*store, file, 1);
        if (!counts)
            state.SkipWithError(counts.error().message.c_str());
        else
            stored = counts->stored;
    }
    state.counters["draws"] = static_cast<double>(stored);
}

void BM_ImportRealHistory(benchmark::State& state) {
    importFile(state, realHistoryFile(), "import-real");
}

void BM_ImportMillionLines(benchmark::State& state) {
    importFile(state, millionLineFile(), "import-million");
}

void BM_RebuildRealHistory(benchmark::State& state) {
    const auto folder = benchFolder() / "rebuild";
    auto store = openStore(folder);
    std::filesystem::copy_file(realHistoryFile(), folder / rebuildBackupFileName(Game::Fc3d),
                               std::filesystem::copy_options::overwrite_existing);
    for (auto _ : state)
        if (auto counts = rebuildFromBackup(*store, folder / rebuildBackupFileName(Game::Fc3d), 1); !counts)
            state.SkipWithError(counts.error().message.c_str());
}

void BM_CompactRealHistory(benchmark::State& state) {
    const auto folder = benchFolder() / "compact";
    {
        auto store = openStore(folder);
        if (!importHistoryFile(*store, realHistoryFile(), 1))
            throw std::runtime_error("cannot prepare the compaction database");
    }
    for (auto _ : state)
        if (auto compacted = compactDatabase(folder / databaseFileName(Game::Fc3d)); !compacted)
            state.SkipWithError(compacted.error().message.c_str());
}

void BM_ExportRealHistoryText(benchmark::State& state) {
    const auto folder = benchFolder() / "export";
    auto store = openStore(folder);
    if (!importHistoryFile(*store, realHistoryFile(), 1))
        throw std::runtime_error("cannot prepare the export database");
    auto snapshot = store->loadSnapshot();
    for (auto _ : state)
        if (auto written = exportHistory(folder, Game::Fc3d, **snapshot); !written)
            state.SkipWithError(written.error().message.c_str());
}

// The history grid as the window exports it: a header row and one row per draw.
void BM_HistorySpreadsheet(benchmark::State& state) {
    auto draws = readHistoryFile(realHistoryFile());
    SheetTable table{{"期号", "百位", "十位", "个位"}};
    for (const DrawLine& d : draws->draws)
        table.push_back({SheetCell::number(d.issue), SheetCell::number(d.digits[0]),
                         SheetCell::number(d.digits[1]), SheetCell::number(d.digits[2])});
    const auto file = benchFolder() / kHistorySheetFile;
    for (auto _ : state)
        if (auto written = writeSpreadsheet(file, table); !written)
            state.SkipWithError(written.error().message.c_str());
    state.counters["rows"] = static_cast<double>(table.size());
}

// What every change that removes draws adds to its own time: the history read in the change's
// transaction and written aside, on the disk and in its place, before the change commits.
void BM_UndoBackupRealHistory(benchmark::State& state) {
    const auto folder = benchFolder() / "undo-backup";
    auto store = openStore(folder);
    if (!importHistoryFile(*store, realHistoryFile(), 1))
        throw std::runtime_error("cannot prepare the undo database");
    for (auto _ : state) {
        UndoKeeper keeper(*store, "读入 fc3d-history.txt");
        auto mark = keeper.keep(*store);
        keeper.finished(mark.has_value());
        if (!mark)
            state.SkipWithError("cannot keep the undo backup");
    }
}

// Reading the backup and restoring it, its own backup included.
void BM_UndoRealHistory(benchmark::State& state) {
    const auto folder = benchFolder() / "undo";
    auto store = openStore(folder);
    if (!changeWithUndo(*store, "读入", [&] { return importHistoryFile(*store, realHistoryFile(), 1); }) ||
        !changeWithUndo(*store, "读入", [&] { return importHistoryFile(*store, realHistoryFile(), 1); }))
        throw std::runtime_error("cannot prepare the undo database");
    for (auto _ : state) {
        auto backup = readUndoBackup(*store);
        if (!backup || !*backup || !undoLastChange(*store, **backup))
            state.SkipWithError("cannot undo");
    }
}

// Hostile chart pages of 16 MB, each read in a process of its own, which reports the time and
// how much its peak memory grew: 0, paragraphs of one letter (four million elements); 1, rows of
// one cell read for a chart page's issues; 2, tags of 250 attributes each.
void BM_HostilePage(benchmark::State& state) {
    const std::string piece = state.range(0) == 0   ? "<p>x"
                              : state.range(0) == 1 ? "<tr><td>1"
                                                    : [] {
                                                          std::string tag = "<p";
                                                          for (int i = 0; i < 250; ++i)
                                                              tag += " a" + std::to_string(i);
                                                          return tag + ">";
                                                      }();
    std::string page;
    while (page.size() + piece.size() <= kMaxPageBytes)
        page += piece;
    double grownMiB = 0;
    for (auto _ : state) {
        int pipe[2];
        if (::pipe(pipe) != 0)
            return state.SkipWithError("no pipe");
        const pid_t child = ::fork();
        if (child == 0) {
            rusage before{}, after{};
            ::getrusage(RUSAGE_SELF, &before);
            const auto start = std::chrono::steady_clock::now();
            const bool read = state.range(0) == 1 ? pageRows(page, "utf-8", chartRowFilter(2013)).has_value()
                                                  : pageText(page, "utf-8").has_value();
            const double figures[3] = {
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0,
                read ? 1.0 : 0.0};
            ::getrusage(RUSAGE_SELF, &after);
            double out[3] = {figures[0], static_cast<double>(after.ru_maxrss - before.ru_maxrss) / 1024,
                             figures[2]};
            (void)!::write(pipe[1], out, sizeof out);
            ::_exit(0);
        }
        ::close(pipe[1]);
        double in[3] = {0, 0, 0};
        const bool got = ::read(pipe[0], in, sizeof in) == sizeof in;
        ::close(pipe[0]);
        ::waitpid(child, nullptr, 0);
        if (!got)
            return state.SkipWithError("the reader died");
        state.SetIterationTime(in[0]);
        grownMiB = std::max(grownMiB, in[1]);
        state.SetLabel(in[2] != 0 ? "read" : "given up");
    }
    state.counters["peakGrowth_MiB"] = grownMiB;
}

} // namespace

BENCHMARK(BM_HostilePage)->DenseRange(0, 2)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_UndoBackupRealHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoRealHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportRealHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportMillionLines)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RebuildRealHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompactRealHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportRealHistoryText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistorySpreadsheet)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
