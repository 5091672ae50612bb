// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"
#include "Game.h"
#include "HistoryText.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace brenvik {

// A file a damaged history can be restored from, as the user chooses among them.
struct RestoreSource {
    std::string kind; // "撤销备份", "备份文件", "附带的样本"
    std::filesystem::path file;
    long long count = 0;
    std::optional<std::int32_t> lastIssue;
};

// The sources for `game`'s history in `folder` that hold draws, in this order: the undo backup,
// the deletions' backup file (lsbf.txt) and the shipped `sample`. Each is read whole, with the
// import's line test for `currentYear`; a pipe or a device in a source's place is passed over.
std::vector<RestoreSource> restoreSources(const std::filesystem::path& folder, Game game,
                                          const std::filesystem::path& sample, int currentYear);

// "撤销备份 kestrel3DUndo.txt：7,731 期，最后一期 2024123".
std::string describeSource(const RestoreSource& source);

struct Restored {
    long long draws = 0;           // draws in the restored history
    std::filesystem::path damaged; // where the damaged file now lies
    long long entries = 0;         // logbook entries carried over from it
    bool entriesLost = false;      // the damaged file no longer yields its logbook
};

// Rebuilds the history `database` of `game`, whose file was found damaged, from the draws of
// `source` (read with readImportFile), coded with `segmentParam`. The new history is built
// beside it in a file of its own, in one transaction, with the logbook's entries and scores the
// damaged file still yields; the damaged file keeps its bytes under the name
// "<database>.damaged-YYYYMMDD-HHMMSS" (its log beside it likewise) and is never deleted; then
// the new file takes the history's name in one rename. A kill at any moment leaves the damaged
// file as it was and the history either not yet restored or restored whole. No connection to the
// database may be open, and the caller holds the folder's lock.
Result<Restored> restoreHistory(const std::filesystem::path& database, Game game, const HistoryFile& source,
                                int segmentParam, std::chrono::system_clock::time_point now);

// The line that reports a restore.
std::string restoredLine(const Restored& restored, const std::string& from);

} // namespace brenvik
