// SPDX-License-Identifier: GPL-3.0-or-later
// The companion's online update against the tests' loopback stand-in of the operators' feeds and
// of a chart site, in the real shapes: the welfare lottery's notices (from 2013002, without the
// 63 issues of 2013 they lack), the sports lottery's query (capped at 100 draws a page), chart
// pages with a pending row after each year's last draw, all up to 2026253. A full read starts
// from an empty history, an everyday update from the shipped history (up to 2026224), a read of
// the whole feed from a history that holds only its first draw, 2004001; the companion runs as a
// process of its own, without a pause between requests. Counters: the
// requests the stand-in answered, the draws the history holds afterwards, the exit status.
// $BRENVIK_BENCH_CLI names another companion to run (an earlier build, to compare with).
#include "ChartServer.h"
#include "SampleHistory.h"
#include "TestFolder.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QProcessEnvironment>

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

using namespace brenvik;
using namespace brenvik::test;

namespace {

constexpr std::int32_t kFeedEnd = 2026253;
constexpr int kSportsCap = 100;

enum class Source { Feed, Chart };

struct Scenario {
    Game game;
    Source source;
    std::int32_t storedTo; // the shipped history's draws up to this one are stored; 0 for none
    const char* years;     // --years
};

const char* sampleName(Game game) {
    return game == Game::Pl3 ? "pl3-history.txt" : "fc3d-history.txt";
}

void runUpdate(benchmark::State& state, Scenario s) {
    long long requests = 0, kept = 0;
    int exit = 0;
    const QString other = qEnvironmentVariable("BRENVIK_BENCH_CLI");
    const QString program = other.isEmpty() ? QStringLiteral(BRENVIK_CLI) : other;
    for (auto _ : state) {
        ChartServer server;
        TestFolder home;
        std::vector<DrawLine> stored;
        for (const DrawLine& d : sampleDraws(sampleName(s.game)))
            if (d.issue <= s.storedTo)
                stored.push_back(d);
        if (!stored.empty())
            writeDatabase(home.path(), stored, 1, s.game);
        QStringList args{"--home", QString::fromStdString(home.path().string()),
                         "--game", s.game == Game::Pl3 ? "pl3" : "3d",
                         "update", "--pause",
                         "0",      "--years",
                         s.years};
        if (s.source == Source::Feed) {
            FeedTraps traps;
            if (s.game == Game::Pl3)
                traps.cap = kSportsCap;
            server.setFeed(s.game, operatorFeed(s.game, kFeedEnd), traps);
            args << "--feed" << server.host();
        } else {
            std::vector<DrawLine> all = sampleDraws(sampleName(s.game));
            for (const DrawLine& d : drawsAfterSample(s.game, kFeedEnd))
                all.push_back(d);
            server.setCharts(s.game, all);
            args << "--site" << server.host();
        }
        QProcess companion;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", QString::fromStdString((home.path() / "config").string()));
        companion.setProcessEnvironment(env);
        QEventLoop loop;
        QObject::connect(&companion, &QProcess::finished, &loop, &QEventLoop::quit);
        const auto start = std::chrono::steady_clock::now();
        companion.start(program, args);
        loop.exec();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        exit = companion.exitCode();
        requests = server.requests.size();
        kept = static_cast<long long>(storedDraws(home.path() / databaseFileName(s.game), s.game).size());
    }
    state.counters["requests"] = static_cast<double>(requests);
    state.counters["stored"] = static_cast<double>(kept);
    state.counters["exit"] = exit;
}

void registerAll() {
    struct Named {
        const char* name;
        Scenario scenario;
    };
    constexpr std::int32_t kEveryday = 2026224, kWholeFeed = 2004001;
    const Named all[] = {
        {"3D notices, full read, --years 16", {Game::Fc3d, Source::Feed, 0, "16"}},
        {"3D notices, full read, --years all", {Game::Fc3d, Source::Feed, 0, "all"}},
        {"3D notices, whole feed", {Game::Fc3d, Source::Feed, kWholeFeed, "16"}},
        {"3D notices, everyday", {Game::Fc3d, Source::Feed, kEveryday, "16"}},
        {"PL3 query, full read, --years 16", {Game::Pl3, Source::Feed, 0, "16"}},
        {"PL3 query, full read, --years all", {Game::Pl3, Source::Feed, 0, "all"}},
        {"PL3 query, whole feed", {Game::Pl3, Source::Feed, kWholeFeed, "16"}},
        {"PL3 query, everyday", {Game::Pl3, Source::Feed, kEveryday, "16"}},
        {"PL3 chart pages, full read, --years 16", {Game::Pl3, Source::Chart, 0, "16"}},
        {"PL3 chart pages, whole site", {Game::Pl3, Source::Chart, kWholeFeed, "16"}},
        {"PL3 chart pages, everyday", {Game::Pl3, Source::Chart, kEveryday, "16"}},
    };
    for (const Named& n : all)
        benchmark::RegisterBenchmark(n.name, runUpdate, n.scenario)
            ->UseManualTime()
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
