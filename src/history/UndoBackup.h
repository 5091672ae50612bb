// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"
#include "HistoryRebuild.h"
#include "HistorySnapshot.h"
#include "HistoryStore.h"
#include "HistoryText.h"
#include "IssueNumber.h"
#include "SafeWrite.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik {

// Undo of the last change of the history. Before a change that may remove draws (import,
// deletion, rebuild, retention removal, an undo itself) the history as it stands is kept in one
// backup file beside the database; undoLastChange puts it back. The backup is a history text
// file whose first line (skipped by the line test) says which change it precedes, when, how
// many draws it holds, the segment parameter its rows were written with, and the mark that the
// change stored in the database with it.
//
// The backup is written, on the disk and in its place, inside the change's transaction and
// before the change commits, from the history read in that transaction: at every moment either
// the change has not committed, or the backup holds the history from just before it. The backup
// it replaces waits beside it (previousUndoFileFor) until the change has committed; a change
// that fails puts it back, and after a kill the marks tell which of the two belongs to the
// history that was committed.
//
// Use: changeWithUndo(store, "读入 a.txt", [&] { return ...; }).

// The backup of the history kept in `databaseFile`: a game's database keeps the game's
// undoFileName (kestrel3D.mdb keeps kestrel3DUndo.txt).
std::filesystem::path undoFileFor(const std::filesystem::path& databaseFile);
// Where the backup before it waits while a change runs (kestrel3DUndoPrev.txt).
std::filesystem::path previousUndoFileFor(const std::filesystem::path& databaseFile);

struct UndoBackup {
    std::string change; // the change it precedes, as the user named it: "读入 a.txt"
    std::string when;   // local time the change began: "2026-05-01 12:00"
    int segmentParam = 1;
    std::vector<DrawLine> draws;
};

// "读入 a.txt（2026-05-01 12:00）之前的 7,731 期": what an undo would bring back.
std::string describeUndo(const UndoBackup& backup);

// The draws of a history and the segment parameter its newest row was written with: what a
// backup keeps of it.
struct HistoryDraws {
    std::vector<DrawLine> draws;
    int segmentParam = 1;

    // Read from the store without a snapshot.
    static Result<HistoryDraws> of(const HistoryStore& store);
};

// Writes the undo backup for the next change of `store` (see above) while it lives.
class UndoKeeper final : public ChangeKeeper {
public:
    UndoKeeper(HistoryStore& store, std::string_view change);
    ~UndoKeeper() override;
    UndoKeeper(const UndoKeeper&) = delete;
    UndoKeeper& operator=(const UndoKeeper&) = delete;

    Result<std::string> keep(const HistoryStore& store) override;
    void finished(bool committed) override;

private:
    HistoryStore& m_store;
    std::string m_change;
    std::filesystem::path m_file;
    std::filesystem::path m_previous;
    bool m_earlierAside = false; // the backup in step before the change waits in m_previous
    bool m_newInPlace = false;   // the new backup is in m_file
};

// Runs `change` (which returns a Result and changes the draws in one transaction of `store`)
// with an undo backup of the history it starts from. A backup that cannot be written stops the
// change before it changes anything.
template <typename Change>
auto changeWithUndo(HistoryStore& store, std::string_view change, Change&& run) -> decltype(run()) {
    UndoKeeper keeper(store, change);
    return run();
}

// The backup that belongs to the history in `store`; nothing when there is none. A backup that
// is not complete (fewer draws than its first line says) is refused rather than half restored.
Result<std::optional<UndoBackup>> readUndoBackup(const HistoryStore& store);
// Whether there is a backup to undo with; reads only the backups' first lines.
bool hasUndoBackup(const HistoryStore& store);

// Replaces the history by the backup read with readUndoBackup, as one transaction, rows derived
// as a rebuild derives them. The history it replaces becomes the new backup, so a second undo
// brings the change back.
Result<StoredCounts> undoLastChange(HistoryStore& store, const UndoBackup& backup,
                                    const Progress& progress = {});

} // namespace brenvik
