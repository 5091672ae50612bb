// SPDX-License-Identifier: GPL-3.0-or-later
#include "SampleHistory.h"

#include "HistoryStore.h"
#include "IssueNumber.h"

#include <SQLiteCpp/Database.h>

#include <algorithm>
#include <random>
#include <stdexcept>

namespace brenvik::test {

std::filesystem::path sampleFile(const char* name) {
    return std::filesystem::path(BRENVIK_SAMPLES) / name;
}

std::vector<DrawLine> sampleDraws(const char* name) {
    auto file = readHistoryFile(sampleFile(name));
    if (!file)
        throw std::runtime_error(file.error().message);
    return file->draws;
}

const std::vector<std::int32_t> kWelfareNoticeHoles = {
    2013001, 2013003, 2013004, 2013005, 2013007, 2013009, 2013019, 2013021, 2013023, 2013024, 2013025,
    2013028, 2013029, 2013031, 2013032, 2013034, 2013035, 2013040, 2013043, 2013046, 2013047, 2013048,
    2013049, 2013051, 2013053, 2013057, 2013059, 2013062, 2013063, 2013064, 2013066, 2013069, 2013070,
    2013071, 2013073, 2013079, 2013083, 2013085, 2013086, 2013087, 2013088, 2013090, 2013093, 2013094,
    2013095, 2013097, 2013099, 2013100, 2013101, 2013103, 2013106, 2013108, 2013109, 2013110, 2013114,
    2013115, 2013116, 2013117, 2013118, 2013120, 2013123, 2013129, 2013168};

std::vector<DrawLine> drawsAfterSample(Game game, std::int32_t last) {
    const std::int32_t first = 2026225;
    return last < first ? std::vector<DrawLine>{}
                        : syntheticDraws(static_cast<std::size_t>(last - first + 1),
                                         game == Game::Pl3 ? 35 : 3, first);
}

std::vector<DrawLine> operatorFeed(Game game, std::int32_t last) {
    std::vector<DrawLine> feed;
    for (const DrawLine& d : sampleDraws(game == Game::Pl3 ? "pl3-history.txt" : "fc3d-history.txt"))
        if (d.issue <= last &&
            (game == Game::Pl3 ||
             (d.issue > 2013000 && !std::ranges::binary_search(kWelfareNoticeHoles, d.issue))))
            feed.push_back(d);
    for (const DrawLine& d : drawsAfterSample(game, last))
        feed.push_back(d);
    return feed;
}

std::vector<DrawLine> syntheticDraws(std::size_t count, std::uint32_t seed, std::int32_t firstIssue) {
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> digit(0, 9);
    std::vector<DrawLine> draws;
    draws.reserve(count);
    std::int32_t issue = firstIssue;
    for (std::size_t i = 0; i < count; ++i) {
        draws.push_back({issue, {digit(gen), digit(gen), digit(gen)}});
        issue = nextIssueProposal(issue);
    }
    return draws;
}

void writeDatabase(const std::filesystem::path& folder, const std::vector<DrawLine>& draws, int segmentParam,
                   Game game) {
    auto store = HistoryStore::open(folder / databaseFileName(game), game);
    if (!store)
        throw std::runtime_error(store.error().message);
    auto rows = rowsFromDraws(draws, segmentParam);
    if (auto r = (*store)->replaceAll(rows); !r)
        throw std::runtime_error(r.error().message);
}

void writeUnmarkedDatabase(const std::filesystem::path& folder, const std::vector<DrawLine>& draws) {
    writeDatabase(folder, draws);
    SQLite::Database db((folder / databaseFileName(Game::Fc3d)).string(), SQLite::OPEN_READWRITE);
    db.exec("DROP TABLE Meta; PRAGMA user_version=1");
}

std::vector<DrawLine> storedDraws(const std::filesystem::path& databaseFile, Game game) {
    auto store = HistoryStore::open(databaseFile, game);
    if (!store)
        throw std::runtime_error(store.error().message);
    auto snapshot = (*store)->loadSnapshot();
    if (!snapshot)
        throw std::runtime_error(snapshot.error().message);
    std::vector<DrawLine> draws;
    for (const DrawRow& r : (*snapshot)->rows())
        draws.push_back({r.sqqh, {r.digit(1), r.digit(2), r.digit(3)}});
    return draws;
}

} // namespace brenvik::test
