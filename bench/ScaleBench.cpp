// SPDX-License-Identifier: GPL-3.0-or-later
// Large histories: 100,000 and 1,000,000 draws (5,000,000 with --huge, once each). Opening with
// the snapshot and the search index, the window's start, the companion's commands as whole
// processes with their peak resident memory (its import replacing the large history, its export
// and omission table), the spreadsheet writer and the window's export of its history grid, and
// the library's import of a file of that many lines.
#include "Dialogs.h"
#include "HistoryExport.h"
#include "HistoryRebuild.h"
#include "HistoryStore.h"
#include "HistoryText.h"
#include "SampleHistory.h"
#include "SearchIndex.h"
#include "Spreadsheet.h"
#include "frmMain.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace brenvik;

namespace {

// Argument 0 stands for the real 3D history.
std::string sizeLabel(std::int64_t draws) {
    return draws == 0 ? "real 3D" : std::to_string(draws) + " draws";
}

// Issues from 1000001 on, 999 a year, so that five million draws still have seven-digit issues.
std::int32_t issueAt(std::int64_t i) {
    return static_cast<std::int32_t>((1000 + i / 999) * 1000 + i % 999 + 1);
}

std::vector<DrawLine> benchDraws(std::int64_t count) {
    std::mt19937 gen(42);
    std::uniform_int_distribution<int> digit(0, 9);
    std::vector<DrawLine> draws(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i)
        draws[static_cast<std::size_t>(i)] = {issueAt(i), {digit(gen), digit(gen), digit(gen)}};
    return draws;
}

// A folder holding a history of `draws` synthetic draws and the same draws as a text file. Kept
// between runs: writing five million draws takes a while.
std::filesystem::path historyFolder(std::int64_t draws) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("brenvik-bench-scale-" + std::to_string(draws));
    const auto text = dir / "draws.txt";
    if (std::filesystem::exists(text))
        return dir;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "home");
    const auto lines = draws == 0 ? test::sampleDraws("fc3d-history.txt") : benchDraws(draws);
    if (!writeHistoryFile(text, lines))
        throw std::runtime_error("cannot write the bench history file");
    // Stored as an import stores it, without every row in memory at once.
    auto store = HistoryStore::open(dir / "home" / kDatabaseFile);
    if (!store || !importHistoryFile(**store, text, 1))
        throw std::runtime_error("cannot store the bench history");
    return dir;
}

struct Run {
    double seconds = 0;
    double cpuSeconds = 0;
    long maxRssKiB = 0;
    int status = -1;
};

// Runs a program to its end and measures it: wall time from fork to exit, peak resident memory
// and processor time as wait4 reports them.
Run measure(char** argv) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execv(argv[0], argv);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    Run r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.maxRssKiB = usage.ru_maxrss;
    r.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// A forked process's peak memory counts the memory of the process it was forked from, so the
// program is started by a fresh small process of this benchmark (--spawn), which measures it
// and writes the figures to a file.
Run runProcess(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
    const auto report = std::filesystem::temp_directory_path() / "brenvik-bench-scale-run.txt";
    std::vector<std::string> all = {"/proc/self/exe", "--spawn", report.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (const auto& a : all)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (const auto& e : env)
            ::putenv(const_cast<char*>(e.c_str()));
        if (std::freopen("/dev/null", "w", stdout) == nullptr)
            ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    Run r;
    if (FILE* f = std::fopen(report.c_str(), "r")) {
        if (std::fscanf(f, "%lf %lf %ld %d", &r.seconds, &r.cpuSeconds, &r.maxRssKiB, &r.status) != 4)
            r.status = -1;
        std::fclose(f);
    }
    return r;
}

int spawn(char** argv) {
    const Run r = measure(argv + 3);
    FILE* f = std::fopen(argv[2], "w");
    if (!f)
        return 1;
    std::fprintf(f, "%.9f %.9f %ld %d\n", r.seconds, r.cpuSeconds, r.maxRssKiB, r.status);
    std::fclose(f);
    return 0;
}

// Times whole processes: each iteration is one run, measured from fork to exit. The process's
// own processor time is given beside it, which a busy machine does not inflate.
void timeProcess(benchmark::State& state, const std::function<std::vector<std::string>(int)>& args,
                 const std::vector<std::string>& env = {}) {
    long rss = 0;
    double cpu = 0;
    int i = 0;
    for (auto _ : state) {
        const Run r = runProcess(args(i++), env);
        if (r.status != 0) {
            state.SkipWithError("the process failed");
            return;
        }
        state.SetIterationTime(r.seconds);
        rss = std::max(rss, r.maxRssKiB);
        cpu += r.cpuSeconds;
    }
    state.counters["maxRSS_MiB"] = static_cast<double>(rss) / 1024.0;
    state.counters["cpu_ms"] = i > 0 ? cpu * 1000 / i : 0;
}

// The companion run; BRENVIK_BENCH_CLI names another build of it to compare with.
std::string cliPath() {
    const char* other = std::getenv("BRENVIK_BENCH_CLI");
    return other && *other ? other : BRENVIK_CLI;
}

std::string homeArg(std::int64_t draws) {
    return (historyFolder(draws) / "home").string();
}

// Library: the database opened, the snapshot loaded and the search index built.
void BM_OpenSnapshotIndex(benchmark::State& state) {
    const auto file = historyFolder(state.range(0)) / "home" / kDatabaseFile;
    for (auto _ : state) {
        auto store = HistoryStore::open(file);
        if (!store) {
            state.SkipWithError(store.error().message.c_str());
            return;
        }
        auto snapshot = (*store)->loadSnapshot();
        SearchIndex index(*snapshot);
        benchmark::DoNotOptimize(index.size());
    }
    state.SetLabel(sizeLabel(state.range(0)));
}

// The check of the whole file that runs before the first change and before an export: every
// page, every index against its table, every stored digit.
void BM_WholeCheck(benchmark::State& state) {
    auto store = HistoryStore::open(historyFolder(state.range(0)) / "home" / kDatabaseFile, Game::Fc3d,
                                    HistoryStore::Access::Read);
    if (!store)
        return state.SkipWithError(store.error().message.c_str());
    for (auto _ : state)
        if (!(*store)->checkWhole())
            return state.SkipWithError("the history was found damaged");
    state.SetLabel(sizeLabel(state.range(0)));
}

// The window's start as a process: the window opened with the history and shown, then closed.
void BM_WindowStart(benchmark::State& state) {
    const std::string home = homeArg(state.range(0));
    const std::string config = (historyFolder(state.range(0)) / "config").string();
    timeProcess(state,
                [](int) {
                    return std::vector<std::string>{"/proc/self/exe", "--window-once"};
                },
                {"BRENVIK3D_HOME=" + home, "XDG_CONFIG_HOME=" + config, "QT_QPA_PLATFORM=offscreen"});
    state.SetLabel(sizeLabel(state.range(0)));
}

void BM_CompanionSearch(benchmark::State& state) {
    const std::string home = homeArg(state.range(0));
    timeProcess(state, [&](int) { return std::vector<std::string>{cliPath(), "--home", home, "follow"}; });
    state.SetLabel(sizeLabel(state.range(0)));
}

// The companion's start (0: `--version`) and a search of the real history (1: `follow`), as built
// (plugins loaded on first use) and with libxml2 and libcurl linked to it as a program links them.
void timeCompanionStart(benchmark::State& state, const std::string& program) {
    const std::string home = homeArg(0);
    timeProcess(state, [&](int) {
        return state.range(0) == 0 ? std::vector<std::string>{program, "--version"}
                                   : std::vector<std::string>{program, "--home", home, "follow"};
    });
    state.SetLabel(state.range(0) == 0 ? "--version" : "follow, real 3D");
}

void BM_CompanionPluginsOnFirstUse(benchmark::State& state) {
    timeCompanionStart(state, cliPath());
}

void BM_CompanionLibrariesLinked(benchmark::State& state) {
    timeCompanionStart(state, BRENVIK_CLI_LINKED);
}

// One draw added per run, after the last stored one; the history grows by a few draws. The
// synthetic issues are no draw's (years before 2002, sequences to 999), which the companion
// refuses to add, so the draws added are of this century: possible, and after the synthetic ones.
void BM_CompanionAdd(benchmark::State& state) {
    const std::string home = homeArg(state.range(0));
    timeProcess(state, [&](int) {
        auto store = HistoryStore::open(std::filesystem::path(home) / kDatabaseFile);
        const auto last = store ? (*store)->lastRow() : std::nullopt;
        const std::int32_t after = last && *last ? (**last).sqqh + 1 : 0;
        return std::vector<std::string>{
            cliPath(), "--home", home, "add", std::to_string(std::max(after, 2026001)), "123"};
    });
    state.SetLabel(sizeLabel(state.range(0)));
}

void BM_CompanionExport(benchmark::State& state) {
    const auto dir = historyFolder(state.range(0));
    timeProcess(state, [&](int) {
        return std::vector<std::string>{cliPath(), "--home", (dir / "home").string(), "export",
                                        (dir / "exported.txt").string()};
    });
    state.SetLabel(sizeLabel(state.range(0)));
}

// The omission table of the newest 100 draws: only those are read, however long the history.
void BM_CompanionOmission(benchmark::State& state) {
    const std::string home = homeArg(state.range(0));
    timeProcess(state, [&](int) {
        return std::vector<std::string>{cliPath(), "--home", home, "omission", "--last", "100"};
    });
    state.SetLabel(sizeLabel(state.range(0)));
}

// The spreadsheet writer alone, as a process: a header and one row of four numbers per draw, as
// the history grid exports them.
void BM_SheetWriter(benchmark::State& state) {
    const auto out = historyFolder(state.range(0)) / "sheet.xlsx";
    timeProcess(state, [&](int) {
        return std::vector<std::string>{"/proc/self/exe", "--sheet-once", out.string(),
                                        std::to_string(state.range(0))};
    });
    state.SetLabel(sizeLabel(state.range(0)));
}

// The window's export of its history grid (lishi.xlsx) as a process: started with the history,
// exported, closed.
void BM_WindowHistorySheet(benchmark::State& state) {
    const std::string home = homeArg(state.range(0));
    const std::string config = (historyFolder(state.range(0)) / "config").string();
    timeProcess(state,
                [](int) {
                    return std::vector<std::string>{"/proc/self/exe", "--window-sheet"};
                },
                {"BRENVIK3D_HOME=" + home, "XDG_CONFIG_HOME=" + config, "QT_QPA_PLATFORM=offscreen"});
    state.SetLabel(sizeLabel(state.range(0)));
}

// The large history replaced by the real 3D history from its text file: the companion reads the
// whole large history inside the change's transaction for its undo backup and writes that out
// before the change commits. (A file of the synthetic draws would only be skipped: their issues
// are no draw's.) The large history is put back before each run, untimed, and at the end.
void BM_CompanionImport(benchmark::State& state) {
    const auto dir = historyFolder(state.range(0));
    const auto database = dir / "home" / kDatabaseFile;
    const auto kept = dir / "kept.mdb";
    const auto replace = std::filesystem::copy_options::overwrite_existing;
    std::filesystem::copy_file(database, kept, replace);
    timeProcess(state, [&](int) {
        std::filesystem::copy_file(kept, database, replace);
        // Forced: the draws the add above appended share issues with the file.
        return std::vector<std::string>{cliPath(), "--home",  (dir / "home").string(),
                                        "import",  "--force", test::sampleFile("fc3d-history.txt").string()};
    });
    std::filesystem::copy_file(kept, database, replace);
    std::filesystem::remove(kept);
    state.SetLabel(sizeLabel(state.range(0)));
}

// Library: a file of that many lines read and stored, replacing the history, in one transaction.
void BM_ImportLines(benchmark::State& state) {
    const auto dir = historyFolder(state.range(0));
    std::filesystem::create_directories(dir / "import");
    auto store = HistoryStore::open(dir / "import" / kDatabaseFile);
    for (auto _ : state) {
        auto counts = importHistoryFile(**store, dir / "draws.txt", 1);
        if (!counts) {
            state.SkipWithError(counts.error().message.c_str());
            return;
        }
    }
    state.SetLabel(sizeLabel(state.range(0)));
}

// The engine alone, the yardstick of the import: as many rows of made-up values, bound value by
// value into a history's table in statements of 32 rows, replacing what it holds, in one
// transaction with the same settings. No file is read and nothing is derived: an import that
// hands the engine its rows value by value takes at least this long.
void BM_EngineInsertOnly(benchmark::State& state) {
    const std::int64_t count = state.range(0);
    const auto file = historyFolder(count) / "engine" / kDatabaseFile;
    std::filesystem::create_directories(file.parent_path());
    if (!HistoryStore::open(file)) // makes the tables, as a new history has them
        return state.SkipWithError("the history could not be made");
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    auto exec = [db](const char* sql) {
        return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    };
    std::vector<bool> text;
    {
        sqlite3_stmt* q = nullptr;
        sqlite3_prepare_v2(db, "SELECT type FROM pragma_table_info('Lishi')", -1, &q, nullptr);
        while (sqlite3_step(q) == SQLITE_ROW) {
            const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
            text.push_back(type && std::strcmp(type, "TEXT") == 0);
        }
        sqlite3_finalize(q);
    }
    constexpr int kBatch = 32;
    std::string row = "(?";
    for (std::size_t c = 1; c < text.size(); ++c)
        row += ",?";
    row += ")";
    std::string sql = "INSERT INTO Lishi VALUES " + row;
    for (int r = 1; r < kBatch; ++r)
        sql += "," + row;
    sqlite3_stmt* insert = nullptr;
    exec("PRAGMA synchronous=FULL");
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &insert, nullptr) != SQLITE_OK)
        return state.SkipWithError(sqlite3_errmsg(db));
    const int columns = static_cast<int>(text.size());
    for (auto _ : state) {
        bool ok = exec("BEGIN IMMEDIATE") && exec("DELETE FROM Lishi");
        for (std::int64_t i = 0; ok && i + kBatch <= count; i += kBatch) {
            for (int r = 0; r < kBatch; ++r) {
                const int issue = issueAt(i + r), first = r * columns;
                sqlite3_bind_int(insert, first + 1, issue);
                sqlite3_bind_int(insert, first + 2, issue + 1);
                sqlite3_bind_null(insert, first + 3);
                for (int c = 3; c < columns; ++c)
                    if (text[static_cast<std::size_t>(c)])
                        sqlite3_bind_text(insert, first + c + 1, "123", 3, SQLITE_STATIC);
                    else
                        sqlite3_bind_int(insert, first + c + 1, (issue + c) % 10);
            }
            ok = sqlite3_step(insert) == SQLITE_DONE;
            sqlite3_reset(insert);
        }
        if (!ok || !exec("COMMIT")) {
            state.SkipWithError(sqlite3_errmsg(db));
            break;
        }
    }
    sqlite3_finalize(insert);
    sqlite3_close(db);
    state.SetLabel(sizeLabel(count));
}

void registerAll(const std::vector<std::int64_t>& sizes) {
    for (const auto draws : sizes) {
        const std::string s = "/" + std::to_string(draws);
        benchmark::RegisterBenchmark(("BM_OpenSnapshotIndex" + s).c_str(), BM_OpenSnapshotIndex)
            ->Arg(draws)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_WholeCheck" + s).c_str(), BM_WholeCheck)
            ->Arg(draws)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_ImportLines" + s).c_str(), BM_ImportLines)
            ->Arg(draws)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
        benchmark::RegisterBenchmark(("BM_EngineInsertOnly" + s).c_str(), BM_EngineInsertOnly)
            ->Arg(draws)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
        for (auto [name, fn] : std::initializer_list<std::pair<const char*, void (*)(benchmark::State&)>>{
                 {"BM_WindowStart", BM_WindowStart},
                 {"BM_CompanionSearch", BM_CompanionSearch},
                 {"BM_CompanionExport", BM_CompanionExport},
                 {"BM_CompanionOmission", BM_CompanionOmission},
                 {"BM_CompanionAdd", BM_CompanionAdd},
                 {"BM_CompanionImport", BM_CompanionImport}})
            benchmark::RegisterBenchmark((name + s).c_str(), fn)
                ->Arg(draws)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond)
                ->Iterations(2);
        // A sheet holds at most 1,048,576 rows.
        if (draws <= 1'000'000)
            for (auto [name, fn] : std::initializer_list<std::pair<const char*, void (*)(benchmark::State&)>>{
                     {"BM_SheetWriter", BM_SheetWriter}, {"BM_WindowHistorySheet", BM_WindowHistorySheet}})
                benchmark::RegisterBenchmark((name + s).c_str(), fn)
                    ->Arg(draws)
                    ->UseManualTime()
                    ->Unit(benchmark::kMillisecond)
                    ->Iterations(2);
    }
}

// Quits the application once a widget has painted, behind the frame being painted.
class QuitAfterFirstPaint : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() && !m_seen) {
            m_seen = true;
            QTimer::singleShot(0, qApp, &QApplication::quit);
        }
        return false;
    }

private:
    bool m_seen = false;
};

// The child of BM_WindowStart: shows the window, lets it draw once, and quits.
int windowOnce(int argc, char** argv) {
    QApplication app(argc, argv);
    QuitAfterFirstPaint painted;
    app.installEventFilter(&painted);
    auto window = ui::frmMain::open();
    if (!window)
        return 1;
    window->show();
    return QApplication::exec();
}

// The child of BM_WindowHistorySheet: exports the history grid, as its menu item does, and quits.
int windowSheet(int argc, char** argv) {
    QApplication app(argc, argv);
    ui::Dialogs::Script dialogs; // the workbook is not handed to a spreadsheet program
    auto window = ui::frmMain::open();
    if (!window)
        return 1;
    auto* exportIt = window->findChild<QAction*>(QStringLiteral("mnuDcls"));
    if (!exportIt)
        return 1;
    exportIt->trigger();
    return dialogs.opened.size() == 1 ? 0 : 1;
}

// The child of BM_SheetWriter: `rows` rows written to `file`.
int sheetOnce(const char* file, long long rows) {
    long long next = -1;
    auto out = OutputFile::open(file);
    if (!out)
        return 1;
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> digit(0, 9);
    const SheetRows source = [&](std::vector<SheetCell>& row) {
        if (++next > rows)
            return false;
        if (next == 0) {
            row = {"期号", "百位", "十位", "个位"};
            return true;
        }
        row = {SheetCell::number(static_cast<double>(issueAt(next - 1))), SheetCell::number(digit(gen)),
               SheetCell::number(digit(gen)), SheetCell::number(digit(gen))};
        return true;
    };
    return writeSpreadsheet(*out, source, rows + 1) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--window-once") == 0)
        return windowOnce(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--window-sheet") == 0)
        return windowSheet(argc, argv);
    if (argc > 3 && std::strcmp(argv[1], "--sheet-once") == 0)
        return sheetOnce(argv[2], std::atoll(argv[3]));
    if (argc > 3 && std::strcmp(argv[1], "--spawn") == 0)
        return spawn(argv);
    bool huge = false;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--huge") == 0)
            huge = true;
        else
            args.push_back(argv[i]);
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    if (!huge)
        for (auto [name, fn] : std::initializer_list<std::pair<const char*, void (*)(benchmark::State&)>>{
                 {"BM_WindowStart/0", BM_WindowStart}, {"BM_CompanionSearch/0", BM_CompanionSearch}})
            benchmark::RegisterBenchmark(name, fn)
                ->Arg(0)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond)
                ->Iterations(5);
    if (!huge)
        for (auto [name, fn] : std::initializer_list<std::pair<const char*, void (*)(benchmark::State&)>>{
                 {"BM_CompanionPluginsOnFirstUse", BM_CompanionPluginsOnFirstUse},
                 {"BM_CompanionLibrariesLinked", BM_CompanionLibrariesLinked}})
            benchmark::RegisterBenchmark(name, fn)
                ->DenseRange(0, 1)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond)
                ->Iterations(20);
    if (!huge)
        benchmark::RegisterBenchmark("BM_WholeCheck/0", BM_WholeCheck)->Arg(0)->Unit(benchmark::kMillisecond);
    registerAll(huge ? std::vector<std::int64_t>{5'000'000} : std::vector<std::int64_t>{100'000, 1'000'000});
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
