// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace brenvik {

// The two games. They draw different numbers under the same issue numbers, so each keeps a
// history of its own in the data folder, under the file names below.
enum class Game { Fc3d, Pl3 };

inline constexpr std::array<Game, 2> kGames{Game::Fc3d, Game::Pl3};

// The values of the setting GsZl.
inline constexpr int kLottery3D = 53; // 福彩3D
inline constexpr int kLotteryPl3 = 3; // 体彩排列3

constexpr int gsZlOf(Game game) {
    return game == Game::Pl3 ? kLotteryPl3 : kLottery3D;
}

// A stored value other than 3 is taken as 福彩3D, the game of a first start: the menu ticks it,
// the update reads its charts and its history is opened, so no part of the program disagrees.
constexpr Game gameOfGsZl(int gsZl) {
    return gsZl == kLotteryPl3 ? Game::Pl3 : Game::Fc3d;
}

constexpr std::string_view displayName(Game game) {
    return game == Game::Pl3 ? "体彩排列3" : "福彩3D";
}

// The companion's name for the game (--game 3d|pl3); also the mark stored in the database.
constexpr std::string_view companionId(Game game) {
    return game == Game::Pl3 ? "pl3" : "3d";
}
std::optional<Game> gameOfCompanionId(std::string_view id);

// Every file a game's history keeps in the data folder. The 福彩3D names are those of the files
// written before there were two histories; 体彩排列3 adds "PL3" to them.
constexpr const char* databaseFileName(Game game) {
    return game == Game::Pl3 ? "kestrelPL3.mdb" : "kestrel3D.mdb";
}
// The game whose database `file` is by its name; nothing for any other name.
std::optional<Game> gameOfDatabaseFile(const std::filesystem::path& file);
constexpr const char* compactTempFileName(Game game) {
    return game == Game::Pl3 ? "kestrelPL3Tmp.mdb" : "kestrel3DTmp.mdb";
}
// Written by the deletions that rebuild the history, read by the rebuild.
constexpr const char* rebuildBackupFileName(Game game) {
    return game == Game::Pl3 ? "lsbfPL3.txt" : "lsbf.txt";
}
constexpr const char* undoFileName(Game game) {
    return game == Game::Pl3 ? "kestrelPL3Undo.txt" : "kestrel3DUndo.txt";
}

// The text export of a history that ends with `lastIssue`: 更新至2013358期历史号码.txt, and
// 更新至2013358期排列3历史号码.txt for 体彩排列3. An empty history has no issue in the name.
std::string textExportFileName(Game game, std::optional<std::int32_t> lastIssue);

// The grids' spreadsheets, by the names 福彩3D uses. They are workbooks of the newer format, and
// named so: files of the names earlier versions gave them (lishi.xls ...) are left as they are.
inline constexpr const char* kHistorySheetFile = "lishi.xlsx";   // history grid
inline constexpr const char* kMatchesSheetFile = "Jiansuo.xlsx"; // matched-draws grid
inline constexpr const char* kResultSheetFile = "Jieguo.xlsx";   // result grid
inline constexpr const char* kBacktestSheetFile = "Huice.xlsx";  // targets of a backtest
inline constexpr const char* kTrendSheetFile = "Zoushi.xlsx";    // trend chart
inline constexpr const char* kFilterSheetFile = "Suoshui.xlsx";  // numbers kept by 缩水

// The name a grid's spreadsheet takes for `game`: 体彩排列3 puts "PL3" before the extension
// (lishi.xlsx becomes lishiPL3.xlsx). Every grid exported to a file
// goes through here.
std::string sheetFileName(Game game, std::string_view sheetFile);

} // namespace brenvik
