#pragma once

#include "Error.h"
#include "HistoryRebuild.h"
#include "HistorySnapshot.h"
#include "HistoryStore.h"
#include "HistoryText.h"
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
// many draws it holds and the segment parameter its rows were written with.
//
// Use: wrap the change in changeWithUndo(store, history, "读入 a.txt", [&] { return ...; }).

// The backup of the history kept in `databaseFile`: a game's database keeps the game's
// undoFileName (kestrel3D.mdb keeps kestrel3DUndo.txt).
std::filesystem::path undoFileFor(const std::filesystem::path& databaseFile);

struct UndoBackup {
    std::string change; // the change it precedes, as the user named it: "读入 a.txt"
    std::string when;   // local time the change began: "2026-05-01 12:00"
    int segmentParam = 1;
    std::vector<DrawLine> draws;
};

// "读入 a.txt（2026-05-01 12:00）之前的 7,731 期": what an undo would bring back.
std::string describeUndo(const UndoBackup& backup);

// A count with thousands separators, as the messages show counts of draws: 7,731.
std::string groupedCount(long long count);

// The draws of a history and the segment parameter its newest row was written with: what a
// backup keeps of it.
struct HistoryDraws {
    std::vector<DrawLine> draws;
    int segmentParam = 1;

    static HistoryDraws of(const HistorySnapshot& history);
    // Read from the store without a snapshot.
    static Result<HistoryDraws> of(const HistoryStore& store);
};

// The backup of one change, written before the change and put in the place of the earlier
// backup only once the change succeeded: a change that fails or never runs leaves the earlier
// backup as it was, and a kill at any moment leaves the old backup or the new one.
class PendingUndo {
public:
    // Writes `history` (the history stored in `store` now) to a temporary file, on the disk.
    static Result<PendingUndo> prepare(const HistoryStore& store, const HistorySnapshot& history,
                                       std::string_view change);
    static Result<PendingUndo> prepare(const HistoryStore& store, const HistoryDraws& history,
                                       std::string_view change);
    // Puts the backup in place; call it after the change succeeded.
    Result<void> keep();

private:
    explicit PendingUndo(PendingFile file) : m_file(std::move(file)) {}
    PendingFile m_file;
};

// Runs `change` (which returns a Result) with an undo backup of `history`, the history stored
// in `store` now. A backup that cannot be written stops the change before it starts.
template <typename History, typename Change>
auto changeWithUndo(const HistoryStore& store, const History& history, std::string_view change,
                    Change&& run) -> decltype(run()) {
    auto pending = PendingUndo::prepare(store, history, change);
    if (!pending)
        return std::unexpected(pending.error());
    auto result = run();
    if (result)
        if (auto kept = pending->keep(); !kept)
            return fail(kept.error().code, "历史号码已改动，但撤销备份未能保存：" + kept.error().message);
    return result;
}

// The backup kept for the history in `databaseFile`; nothing when there is none. A backup that
// is not complete (fewer draws than its first line says) is refused rather than half restored.
Result<std::optional<UndoBackup>> readUndoBackup(const std::filesystem::path& databaseFile);

// Replaces the history by the backup read with readUndoBackup, as one transaction, rows derived
// as a rebuild derives them. The history it replaces (`current`) becomes the new backup, so a
// second undo brings the change back.
Result<StoredCounts> undoLastChange(HistoryStore& store, const HistorySnapshot& current,
                                    const UndoBackup& backup);
Result<StoredCounts> undoLastChange(HistoryStore& store, const HistoryDraws& current, const UndoBackup& backup);

} // namespace brenvik
