// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"

#include <filesystem>
#include <optional>
#include <string>

namespace brenvik {

// Before each game kept its own history, a data folder held one kestrel3D.mdb, without a game
// mark, filled with the draws of whichever game was chosen. The game chosen then (GsZl) is the
// best knowledge of what it holds: the file is marked with that game, in one transaction, and a
// 体彩排列3 history is renamed kestrelPL3.mdb, closed cleanly first so that no log stays behind
// under the old name. Nothing else is renamed, and an existing kestrelPL3.mdb is never replaced.
//
// Run by the holder of the folder's lock before it opens a history. Returns what the user should
// be told once (empty when there was nothing to do). A file that is not a sound history of ours
// is left to the opening, which reports it in its own words. On failure nothing may be opened:
// an unmarked history opened for a game would be marked with that game, right or wrong.
Result<std::string> upgradeDataFolder(const std::filesystem::path& folder, int gsZl);

// Whether upgradeDataFolder has anything to do in `folder` (it reads only).
bool upgradeNeeded(const std::filesystem::path& folder);

// What a program that only reads must say when upgradeDataFolder has something to do: it marks
// and renames nothing itself, so it tells the user how to have it done. Nothing otherwise.
std::optional<std::string> upgradeNotice(const std::filesystem::path& folder);

} // namespace brenvik
