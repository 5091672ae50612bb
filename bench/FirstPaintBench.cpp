// SPDX-License-Identifier: GPL-3.0-or-later
// The window's start to its first paint, against the floor: a minimal Qt table window of the same
// history (FloorWindow.cpp). Each iteration starts the program brenvik3d as it is installed, on
// the real 福彩3D history, and then the floor, each a process of its own with the probe of
// FirstPaintProbe.cpp preloaded: the probe ends it once its window has painted once and reports
// the processor time used by then (every thread, the loading of the libraries included), the
// time since the benchmark started it, and the shared objects loaded. Window and floor take
// turns, so that the load of a shared machine falls on both alike.
//
// QT_QPA_PLATFORM is passed on when set (xcb under Xvfb); otherwise both run offscreen.
#include "HistoryStore.h"
#include "HistoryText.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

using namespace brenvik;

namespace {

// A data folder and a settings folder of the real 3D history, as a user's first start finds them.
struct Folders {
    std::filesystem::path home;
    std::filesystem::path config;
};

const Folders& folders() {
    static const Folders f = [] {
        const auto dir = std::filesystem::temp_directory_path() / "brenvik-bench-first-paint";
        std::filesystem::remove_all(dir);
        Folders made{dir / "home", dir / "config"};
        std::filesystem::create_directories(made.home);
        std::filesystem::create_directories(made.config);
        auto file = readHistoryFile(std::filesystem::path(BRENVIK_SAMPLES) / "fc3d-history.txt");
        auto store = HistoryStore::open(made.home / databaseFileName(Game::Fc3d), Game::Fc3d);
        if (!file || !store || !(*store)->replaceAll(rowsFromDraws(file->draws, 1)))
            throw std::runtime_error("cannot prepare the benchmark's history");
        return made;
    }();
    return f;
}

long long monotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
}

struct Paint {
    double cpuMs = 0;
    double wallMs = 0;
    std::vector<std::string> loaded;
};

// Runs `argv` with the probe preloaded, to its first paint.
Paint firstPaint(const std::vector<std::string>& argv) {
    const auto report = std::filesystem::temp_directory_path() / "brenvik-bench-first-paint.txt";
    std::filesystem::remove(report);
    std::vector<std::string> env = {"LD_PRELOAD=" BRENVIK_PROBE, "BRENVIK_FIRST_PAINT=" + report.string(),
                                    "BRENVIK3D_HOME=" + folders().home.string(),
                                    "XDG_CONFIG_HOME=" + folders().config.string(), "LANG=zh_CN.UTF-8"};
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    env.push_back(std::string("QT_QPA_PLATFORM=") + (platform && *platform ? platform : "offscreen"));
    for (const char* passed : {"DISPLAY", "XAUTHORITY", "XDG_RUNTIME_DIR", "PATH", "HOME"})
        if (const char* v = std::getenv(passed))
            env.push_back(std::string(passed) + "=" + v);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> vars;
    for (const auto& e : env)
        vars.push_back(const_cast<char*>(e.c_str()));
    vars.push_back(nullptr);

    const long long started = monotonicNs();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr))
            ::_exit(126);
        ::execve(args[0], args.data(), vars.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::ifstream in(report);
    long long cpuNs = 0;
    long long paintedAt = 0;
    std::size_t count = 0;
    if (!(in >> cpuNs >> paintedAt >> count))
        throw std::runtime_error(argv[0] + " ended without painting");
    Paint p{static_cast<double>(cpuNs) / 1e6, static_cast<double>(paintedAt - started) / 1e6, {}};
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line))
        p.loaded.push_back(line);
    return p;
}

std::string baseName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// The window run; BRENVIK_BENCH_WINDOW names another build of it to compare with.
std::string windowPath() {
    const char* other = std::getenv("BRENVIK_BENCH_WINDOW");
    return other && *other ? other : BRENVIK_WINDOW;
}

void BM_FirstPaint(benchmark::State& state) {
    const std::vector<std::string> window = {windowPath()};
    const std::vector<std::string> floor = {BRENVIK_FLOOR,
                                            (folders().home / databaseFileName(Game::Fc3d)).string()};
    double cpu[2] = {};
    double wall[2] = {};
    std::size_t loaded[2] = {};
    Paint last[2];
    int runs = 0;
    try {
        for (auto _ : state) {
            const Paint w = firstPaint(window);
            const Paint f = firstPaint(floor);
            state.SetIterationTime(w.cpuMs / 1000);
            cpu[0] += w.cpuMs;
            cpu[1] += f.cpuMs;
            wall[0] += w.wallMs;
            wall[1] += f.wallMs;
            loaded[0] = w.loaded.size();
            loaded[1] = f.loaded.size();
            last[0] = w;
            last[1] = f;
            ++runs;
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    state.counters["window_cpu_ms"] = cpu[0] / runs;
    state.counters["floor_cpu_ms"] = cpu[1] / runs;
    state.counters["cpu_ratio"] = cpu[0] / cpu[1];
    state.counters["window_wall_ms"] = wall[0] / runs;
    state.counters["floor_wall_ms"] = wall[1] / runs;
    state.counters["window_libs"] = static_cast<double>(loaded[0]);
    state.counters["floor_libs"] = static_cast<double>(loaded[1]);
    // What the window loads beyond the floor, once, for the notes.
    static bool said = false;
    if (!said && std::getenv("BRENVIK_FIRST_PAINT_LIST")) {
        said = true;
        std::set<std::string> floorSet;
        for (const auto& name : last[1].loaded)
            floorSet.insert(baseName(name));
        std::cerr << "Loaded by the window and not by the floor:";
        for (const auto& name : last[0].loaded)
            if (!floorSet.count(baseName(name)) && name != "(program)")
                std::cerr << ' ' << baseName(name);
        std::cerr << '\n';
    }
}

} // namespace

// The processor time of the window is the iteration's time; the counters hold the rest.
BENCHMARK(BM_FirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

BENCHMARK_MAIN();
