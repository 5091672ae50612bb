// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"
#include "HistorySnapshot.h"
#include "HistoryStore.h"
#include "HistoryText.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace brenvik {

// What a replacement of the history from a file did, for the status line.
struct StoredCounts {
    long long stored = 0;     // draws now in the history
    long long skipped = 0;    // lines that are not draw lines
    long long duplicates = 0; // draw lines whose issue came earlier in the file
};

// The rows a rebuild stores for `draws`: those of rowsFromDraws, and in addition each row's
// N-back texts (txtHisPreLst...) hold the txtHisLst... texts of the row before it, so they
// describe the draw two back. The first two rows have none.
std::vector<DrawRow> rebuiltRows(std::span<const DrawLine> draws, int segmentParam);

// What the import says of a file in which no line is a draw line.
inline constexpr const char* kNoDrawsInFile = "文件中没有可读的历史号码，历史未改动";

// Reads a file to import: as readHistoryFile, and a draw line whose issue can name no draw in
// `currentYear` (issueProblem) is skipped and counted with the skipped lines. A file without a
// single draw line left is refused (ErrorCode::Empty, kNoDrawsInFile), so that it can never
// replace a history by nothing.
Result<HistoryFile> readImportFile(const std::filesystem::path& file, int currentYear,
                                   const Progress& progress = {});
// The same for the standard input ("-" on the companion's command line).
Result<HistoryFile> readImportInput(int currentYear);

// Replaces the stored history by the draws of a file read with readImportFile, as one
// transaction; rows are derived in ascending issue order. A file without draws is refused.
// `progress` is told the rows stored of the file's draws; the transaction is not stopped half way.
Result<StoredCounts> importHistory(HistoryStore& store, const HistoryFile& file, int segmentParam,
                                   const Progress& progress = {});

// readHistoryFile and importHistory, for a file this program wrote (its issues are not checked
// against a year). A file that cannot be read, or holds no draw, leaves the history as it was.
Result<StoredCounts> importHistoryFile(HistoryStore& store, const std::filesystem::path& file,
                                       int segmentParam);

// Replaces the stored history by `draws` (in ascending issue order) with the rows a rebuild
// derives, as one transaction.
Result<void> storeRebuilt(HistoryStore& store, std::span<const DrawLine> draws, int segmentParam,
                          const Progress& progress = {});

// Rebuilds the whole history from the backup file with the codes of `segmentParam`, filling the
// N-back texts as rebuiltRows does. A missing or unreadable backup leaves the history as it was.
Result<StoredCounts> rebuildFromBackup(HistoryStore& store, const std::filesystem::path& backupFile,
                                       int segmentParam, const Progress& progress = {});

// The draws kept by "delete down to issue T": every draw whose issue is at most T. A T outside
// the stored range (first..last stored issue) is refused: a mistyped issue must not empty a
// history.
Result<std::vector<DrawLine>> drawsUpTo(const HistorySnapshot& history, std::int32_t lastKept);
// The draws kept by "delete the last N draws": all but the last `count` (none when count >= size).
std::vector<DrawLine> drawsWithoutLast(const HistorySnapshot& history, long long count);

// The two deletions that go through the backup file: they write the draws to keep into the
// backup of the store's game in `folder` (lsbf.txt) and rebuild the history from it. The caller
// compacts the database afterwards (compactAndReopen). A T refused by drawsUpTo, or an N below
// 1, changes nothing. `progress` is told the rows stored, as by importHistory.
Result<StoredCounts> deleteDownTo(HistoryStore& store, const std::filesystem::path& folder,
                                  std::int32_t lastKept, int segmentParam, const Progress& progress = {});
Result<StoredCounts> deleteLastDraws(HistoryStore& store, const std::filesystem::path& folder,
                                     long long count, int segmentParam, const Progress& progress = {});

} // namespace brenvik
