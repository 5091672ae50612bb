// SPDX-License-Identifier: GPL-3.0-or-later
#include "SampleHistory.h"

#include "HistoryStore.h"
#include "IssueNumber.h"

#include <SQLiteCpp/Database.h>

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
