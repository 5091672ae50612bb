// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Game.h"
#include "HistoryText.h"

#include <filesystem>
#include <vector>

namespace brenvik {

// The real history of `game` shipped with the programs (samples/fc3d-history.txt or
// samples/pl3-history.txt in the installation's share folder, or the build tree's copy): what
// the restore offers as "附带的样本", what the window copies into the import folder, and the
// source an online update of an empty history starts from. Both programs find it here.
std::filesystem::path shippedHistoryFile(Game game);

// Its draws, read with the import's line test for `currentYear`, in issue order; none when the
// file is missing or unreadable (the programs then do without it).
std::vector<DrawLine> shippedHistory(Game game, int currentYear);

} // namespace brenvik
