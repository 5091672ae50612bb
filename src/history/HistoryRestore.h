// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"
#include "Game.h"
#include "HistoryText.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brenvik {

// A file a damaged history can be restored from, as the user chooses among them.
struct RestoreSource {
    std::string kind; // "撤销备份", "备份文件", "附带的样本"; kSalvageKind for the damaged file itself
    std::filesystem::path file;
    long long count = 0;
    std::optional<std::int32_t> lastIssue;
};

inline constexpr const char* kSalvageKind = "损坏文件中可读的";

// The backups of `game`'s history in `folder` that hold draws, in this order: the undo backup,
// the deletions' backup file (lsbf.txt) and the shipped `sample`. Each is read whole, with the
// import's line test for `currentYear`; a pipe or a device in a source's place is passed over.
// The damaged file itself is a source too: salvageSource.
std::vector<RestoreSource> restoreSources(const std::filesystem::path& folder, Game game,
                                          const std::filesystem::path& sample, int currentYear);

// The damaged database `database` as a source: the draws it still yields, read row by row
// without its indexes (HistoryStore::salvage), each checked as an import checks a line; nothing
// when it yields none.
struct SalvageSource {
    RestoreSource source;
    std::vector<DrawLine> draws;
};
std::optional<SalvageSource> salvageSource(const std::filesystem::path& database, int currentYear);

// "撤销备份 kestrel3DUndo.txt：7,731 期，最后一期 2024123"; the damaged file as
// "损坏文件中可读的 7,732 期（最新 2026225）".
std::string describeSource(const RestoreSource& source);

// The draws a restore stores: those of a backup, completed by the draws the damaged file still
// yields after the backup's last one. Where both hold an issue with other digits, the backup's
// draw is kept and the issue named. Either may be empty.
struct RestorePlan {
    std::vector<DrawLine> draws;           // in issue order
    long long fromDamaged = 0;             // of them, taken from the damaged file
    std::vector<std::int32_t> disagreeing; // issues the two gave other digits, the backup's kept
};
RestorePlan completedBy(std::span<const DrawLine> backup, std::span<const DrawLine> salvaged);

struct Restored {
    long long draws = 0;                   // draws in the restored history
    long long fromDamaged = 0;             // of them, taken from the damaged file
    std::vector<std::int32_t> disagreeing; // issues where the backup's draw was kept over the damaged file's
    std::filesystem::path damaged;         // where the damaged file now lies
    long long entries = 0;                 // logbook entries carried over from it
    long long plays = 0;                   // plays carried over from it
    bool entriesLost = false;              // the damaged file no longer yields its logbook
};

// Whether the history `database` needs a restore: false for a sound history (of either game), true
// for whatever else lies at its place (a damaged history, zeros, text, one byte, another format,
// another program's database). An error for what is no file to put aside (a pipe, a folder, a
// device, nothing at all) or cannot be read.
Result<bool> needsRestore(const std::filesystem::path& database);

// Rebuilds the history `database` of `game`, whatever lies at its place (a damaged history, a
// file of zeros, text, a picture, one byte), from the draws of `plan`, coded with
// `segmentParam`. The new history is built beside it in a file of its own, in one transaction,
// with the logbook the old file still yields (PredictionLog's carry-over); the old file keeps its
// bytes under the name "<database>.damaged-YYYYMMDD-HHMMSS" (its log beside it likewise) and is
// never deleted; then the new file takes the history's name in one rename, with no log, index or
// seal of the old file left beside it. A kill at any moment leaves the old file as it was and the
// history either not yet restored or restored whole. No connection to the database may be open,
// and the caller holds the folder's lock.
Result<Restored> restoreHistory(const std::filesystem::path& database, Game game, const RestorePlan& plan,
                                int segmentParam, std::chrono::system_clock::time_point now);

// The line that reports a restore from `from` (the backup's name; empty for the damaged file alone).
std::string restoredLine(const Restored& restored, const std::string& from);

} // namespace brenvik
