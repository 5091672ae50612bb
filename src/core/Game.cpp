// SPDX-License-Identifier: GPL-3.0-or-later
#include "Game.h"

namespace brenvik {

std::optional<Game> gameOfCompanionId(std::string_view id) {
    for (Game game : kGames)
        if (companionId(game) == id)
            return game;
    return std::nullopt;
}

std::optional<Game> gameOfDatabaseFile(const std::filesystem::path& file) {
    for (Game game : kGames)
        if (file.filename() == databaseFileName(game))
            return game;
    return std::nullopt;
}

std::string textExportFileName(Game game, std::optional<std::int32_t> lastIssue) {
    std::string name = "更新至";
    if (lastIssue)
        name += std::to_string(*lastIssue);
    name += game == Game::Pl3 ? "期排列3历史号码.txt" : "期历史号码.txt";
    return name;
}

std::string sheetFileName(Game game, std::string_view sheetFile) {
    std::string name(sheetFile);
    if (game == Game::Pl3) {
        const std::size_t dot = name.rfind('.');
        name.insert(dot == std::string::npos ? name.size() : dot, "PL3");
    }
    return name;
}

} // namespace brenvik
