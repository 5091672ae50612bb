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

// The backup file the deletions write and the rebuild reads, in the data folder.
inline constexpr const char* kBackupFile = "lsbf.txt";

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

// Replaces the stored history by the draw lines of a history text file, as one transaction.
// The file is read completely before anything is deleted: a file that cannot be opened or read
// leaves the history as it was. A readable file without draw lines empties the history.
Result<StoredCounts> importHistoryFile(HistoryStore& store, const std::filesystem::path& file,
                                       int segmentParam);

// Rebuilds the whole history from the backup file with the codes of `segmentParam`, filling the
// N-back texts as rebuiltRows does. A missing or unreadable backup leaves the history as it was.
Result<StoredCounts> rebuildFromBackup(HistoryStore& store, const std::filesystem::path& backupFile,
                                       int segmentParam);

// The draws kept by "delete down to issue T": every draw whose issue is at most T.
std::vector<DrawLine> drawsUpTo(const HistorySnapshot& history, std::int32_t lastKept);
// The draws kept by "delete the last N draws": all but the last `count` (none when count >= size).
std::vector<DrawLine> drawsWithoutLast(const HistorySnapshot& history, long long count);

// The two deletions that go through the backup file: they write the draws to keep into
// `folder`/lsbf.txt and rebuild the history from it. The caller compacts the database
// afterwards (compactAndReopen). A value of T or N below 1 is refused and changes nothing.
Result<StoredCounts> deleteDownTo(HistoryStore& store, const std::filesystem::path& folder,
                                  std::int32_t lastKept, int segmentParam);
Result<StoredCounts> deleteLastDraws(HistoryStore& store, const std::filesystem::path& folder,
                                     long long count, int segmentParam);

} // namespace brenvik
