// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShippedHistory.h"

#include "HistoryRebuild.h"
#include "Platform.h"

namespace brenvik {

std::filesystem::path shippedHistoryFile(Game game) {
    return shippedFile(game == Game::Pl3 ? "samples/pl3-history.txt" : "samples/fc3d-history.txt");
}

std::vector<DrawLine> shippedHistory(Game game, int currentYear) {
    const auto file = shippedHistoryFile(game);
    if (file.empty())
        return {};
    auto read = readImportFile(file, currentYear);
    return read ? std::move(read->draws) : std::vector<DrawLine>{};
}

} // namespace brenvik
