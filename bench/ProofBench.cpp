// SPDX-License-Identifier: GPL-3.0-or-later
// What proving a history sound costs: a reader of a sealed file (its bytes hashed), one that checks
// the whole file, the hash alone, and a change with the seal it records. Then the companion's read
// command and `add` on the real history as whole processes; with BRENVIK_CLI_BEFORE naming the
// companion of an earlier build, the same commands of that one beside them.
#include "FileSeal.h"
#include "HistoryExport.h"
#include "HistoryRebuild.h"
#include "HistoryStore.h"
#include "SampleHistory.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace brenvik;

namespace {

// A data folder with the real 福彩3D history, sealed as the program's last change leaves it.
std::filesystem::path realHistory() {
    static const std::filesystem::path home = [] {
        const auto dir = std::filesystem::temp_directory_path() / "brenvik-bench-proof";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        test::writeDatabase(dir, test::sampleDraws("fc3d-history.txt"));
        return dir;
    }();
    return home;
}

std::filesystem::path database() {
    return realHistory() / kDatabaseFile;
}

void sealed(benchmark::State& state) {
    for (auto _ : state) {
        auto store = HistoryStore::open(database(), Game::Fc3d, HistoryStore::Access::Read);
        if (!store || !(*store)->checkedSound())
            state.SkipWithError("the file is not sealed");
        benchmark::DoNotOptimize(store);
    }
}

void checkedWhole(benchmark::State& state) {
    const auto seal = recordedSeal(database());
    removeSeal(database());
    for (auto _ : state) {
        auto store = HistoryStore::open(database(), Game::Fc3d, HistoryStore::Access::Read);
        if (!store || (*store)->checkedSound() || !(*store)->requireSound())
            state.SkipWithError("the whole check did not run");
    }
    recordSeal(database(), *seal);
}

void openedUnchecked(benchmark::State& state) {
    const auto seal = recordedSeal(database());
    removeSeal(database());
    for (auto _ : state) {
        auto store = HistoryStore::open(database(), Game::Fc3d, HistoryStore::Access::Read);
        benchmark::DoNotOptimize(store);
    }
    recordSeal(database(), *seal);
}

void hashed(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(sealOf(database()));
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(database())));
}

// One draw appended and deleted again: two changes, each folded into the file and sealed.
void change(benchmark::State& state) {
    auto store = HistoryStore::open(database());
    if (!store || !(*store)->requireWritable()) {
        state.SkipWithError("the history cannot be changed");
        return;
    }
    const DrawLine typed{2026225, {1, 2, 3}};
    for (auto _ : state) {
        if (!(*store)->appendDraws(std::span(&typed, 1), 1) || !(*store)->deleteLast())
            state.SkipWithError("the change failed");
    }
}

// Wall and processor time of a companion from fork to exit.
double runCompanion(const std::vector<std::string>& args, double& cpuSeconds) {
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (std::freopen("/dev/null", "w", stdout) == nullptr ||
            std::freopen("/dev/null", "w", stderr) == nullptr)
            ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the companion failed: " + args.at(3));
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

const char* companion(int which) {
    return which == 0 ? BRENVIK_CLI : std::getenv("BRENVIK_CLI_BEFORE");
}

void companionRead(benchmark::State& state) {
    const char* program = companion(static_cast<int>(state.range(0)));
    if (!program) {
        state.SkipWithError("BRENVIK_CLI_BEFORE is not set");
        return;
    }
    double cpu = 0, cpuTotal = 0;
    for (auto _ : state) {
        state.SetIterationTime(runCompanion({program, "--home", realHistory().string(), "follow"}, cpu));
        cpuTotal += cpu;
    }
    state.counters["cpu_ms"] = benchmark::Counter(cpuTotal * 1e3 / static_cast<double>(state.iterations()));
}

void companionAdd(benchmark::State& state) {
    const char* program = companion(static_cast<int>(state.range(0)));
    if (!program) {
        state.SkipWithError("BRENVIK_CLI_BEFORE is not set");
        return;
    }
    double cpu = 0, cpuTotal = 0;
    for (auto _ : state) {
        state.SetIterationTime(
            runCompanion({program, "--home", realHistory().string(), "add", "2026225", "123"}, cpu));
        cpuTotal += cpu;
        state.PauseTiming();
        // Deleted by this build, which leaves the file sealed as its last change would.
        auto store = HistoryStore::open(database());
        if (!store || !(*store)->deleteLast())
            state.SkipWithError("the draw could not be deleted again");
        state.ResumeTiming();
    }
    state.counters["cpu_ms"] = benchmark::Counter(cpuTotal * 1e3 / static_cast<double>(state.iterations()));
}

} // namespace

BENCHMARK(sealed)->Name("Proof/read, sealed file (real 3D)")->Unit(benchmark::kMillisecond);
BENCHMARK(checkedWhole)->Name("Proof/read, whole check (real 3D)")->Unit(benchmark::kMillisecond);
BENCHMARK(openedUnchecked)->Name("Proof/read, opened unchecked (real 3D)")->Unit(benchmark::kMillisecond);
BENCHMARK(hashed)->Name("Proof/hash of the file (real 3D)")->Unit(benchmark::kMillisecond);
BENCHMARK(change)->Name("Proof/append and delete, each sealed (real 3D)")->Unit(benchmark::kMillisecond);
BENCHMARK(companionRead)
    ->Name("Companion/follow (real 3D), 0 this build, 1 before")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(companionAdd)
    ->Name("Companion/add (real 3D), 0 this build, 1 before")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
