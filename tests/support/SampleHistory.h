// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrawRow.h"
#include "Game.h"
#include "HistoryText.h"
#include "TestFolder.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace brenvik::test {

// The real draw histories shipped with the project.
std::filesystem::path sampleFile(const char* name); // "fc3d-history.txt", "pl3-history.txt"
std::vector<DrawLine> sampleDraws(const char* name);

// The 63 issues of 2013 that the welfare lottery's draw notices do not list (their first item is
// 2013002); the shipped 福彩3D history holds them all.
extern const std::vector<std::int32_t> kWelfareNoticeHoles;

// Draws after the end of the shipped histories (2026224): 2026225 to `last`, digits from a
// fixed-seed generator of the game's own.
std::vector<DrawLine> drawsAfterSample(Game game, std::int32_t last = 2026253);

// What the operators' feeds list, oldest first: the welfare lottery's notices from 2013 on without
// kWelfareNoticeHoles, the sports lottery's every draw; both up to `last`.
std::vector<DrawLine> operatorFeed(Game game, std::int32_t last = 2026253);

// Consecutive issues from `firstIssue` (counting on inside a year, 001 after 358) with digits
// from a fixed-seed generator.
std::vector<DrawLine> syntheticDraws(std::size_t count, std::uint32_t seed,
                                     std::int32_t firstIssue = 2004001);

// Stores `draws` as the whole history of `game` in `folder`.
void writeDatabase(const std::filesystem::path& folder, const std::vector<DrawLine>& draws,
                   int segmentParam = 1, Game game = Game::Fc3d);

// Stores `draws` in `folder`'s kestrel3D.mdb as the program wrote it before each game kept a
// history of its own: without the game mark, schema version 1.
void writeUnmarkedDatabase(const std::filesystem::path& folder, const std::vector<DrawLine>& draws);

// The issues and digits stored in the database file of `game`, in issue order.
std::vector<DrawLine> storedDraws(const std::filesystem::path& databaseFile, Game game = Game::Fc3d);

} // namespace brenvik::test
