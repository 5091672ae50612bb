// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HistoryRebuild.h"
#include "HistoryRestore.h"
#include "HistorySnapshot.h"
#include "HistoryStore.h"
#include "SearchIndex.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace brenvik::ui {

// How the open history changed, so that each view keeps what the change leaves valid.
enum class HistoryChange {
    Opened,   // a history was opened, at start-up or for the other game: nothing shown before holds
    Replaced, // imported, updated online or restored: the search range follows the whole history
    Trimmed,  // draws were deleted or rebuilt: the search range stays as the user set it
    Appended, // one draw was typed in
};

// The open history of the window: its database, the snapshot every view reads, the search index
// built from it and the game it belongs to. Views do not refresh each other: they listen to
// historyChanged and read what they show from here.
class Workspace : public QObject {
    Q_OBJECT
public:
    explicit Workspace(QString dataFolder, QObject* parent = nullptr);
    ~Workspace() override;

    const QString& dataFolder() const { return m_dataFolder; }
    Game game() const { return m_game; }
    const HistorySnapshot& history() const { return *m_snapshot; }
    const SnapshotPtr& snapshot() const { return m_snapshot; }
    // The database; none when it could not be opened (databaseProblem() says why).
    HistoryStore* store() const { return m_store.get(); }
    const QString& databaseProblem() const { return m_databaseProblem; }
    // What the database engine said of a damaged file in its own words, for the message's details.
    const QString& damageDetail() const { return m_damageDetail; }
    // The search index of the snapshot, set with it.
    const SearchIndex& searchIndex() { return *sharedIndex(); }
    const SearchIndexPtr& sharedIndex();
    // The segment parameter new draws are coded with (段数参数).
    int segmentParam() const { return m_segmentParam; }
    void setSegmentParam(int param);

    // Holds the check of each history's whole file that opening starts, until releaseChecks: the
    // window's first paint does not wait for the processor time it takes. A change or an export
    // asked for meanwhile runs it at once.
    void holdChecks() { m_checksHeld = true; }
    void releaseChecks();
    // Sample histories for a new folder, and the temporary files of writes that were killed.
    void prepareFolder();
    // Upgrades a folder written before each game kept its own history; what was done, or nothing.
    // When it fails no history is opened until the program starts again.
    QString upgradeOldHistory(int gsZl);
    // Opens the game's own history.
    void open(Game game);

    // Reads the history again after `how` changed it.
    void AddHaoma(HistoryChange how);
    // Proposes the issue of the next draw to be typed in (issueProposed); nothing for an empty
    // history.
    std::optional<std::int32_t> QihaoXianshi();
    int lastStoredQQH() const { return m_lastQQH; }
    // Deletes every draw, with an undo backup; false when nothing was deleted (failed told).
    bool Delrec();
    // Shows a history rebuilt by a deletion.
    void Dqzd(const Result<StoredCounts>& rebuilt, const QString& what);
    // Compacts the database after deletions; false when it was not compacted.
    bool CompactDb();
    // True when a database is open and its whole file passed its check (waited for while it
    // runs); failed (or damaged) is told otherwise. Every change and every export of the history
    // asks this first.
    bool requireStore();
    // The store once its whole file passed its check (waited for while it runs): the searches'
    // tally goes there, never into a file found damaged. None otherwise.
    HistoryStore* checkedStore();
    // Whether the open game's history file was found damaged (restoreFrom puts it right).
    bool damaged() const { return m_damaged; }
    // Rebuilds the damaged history from the draws of `plan` (restoreHistory) and opens it again.
    Result<Restored> restoreFrom(const RestorePlan& plan);

signals:
    // Another game's history is being opened: views drop what they showed of the one before.
    void gameChanged(brenvik::Game game);
    // The history was read again; the next issue has been proposed already.
    void historyChanged(brenvik::ui::HistoryChange how);
    void issueProposed(std::int32_t issue);
    void segmentParamChanged(int param);
    // A one-line report for the status bar.
    void status(const QString& text);
    // A failure the user must read before going on.
    void failed(const QString& title, const QString& text);
    // The history file was found damaged: `text` says so and what can be done.
    void damageFound(const QString& text);

private:
    void openDatabase();
    // The whole file is checked on another thread right after opening (or once checks are
    // released); changes wait for it.
    void startCheck();
    void runCheck();
    void takeVerdict();
    void awaitVerdict();
    void reportDamage(const Error& damage);

    QString m_dataFolder;
    Game m_game = Game::Fc3d;
    int m_segmentParam = 1;
    // Why no history may be opened in this folder until the program starts again.
    QString m_upgradeProblem;
    QString m_databaseProblem;
    QString m_damageDetail;
    std::unique_ptr<HistoryStore> m_store;
    SnapshotPtr m_snapshot;
    SearchIndexPtr m_index; // set with m_snapshot
    int m_lastQQH = 0;
    QFutureWatcher<Result<void>> m_check;
    bool m_checkPending = false; // a check is due or runs, and the store has not taken its verdict
    bool m_checkStarted = false;
    bool m_checksHeld = false;
    bool m_damaged = false;
};

// The line that reports a changed history: draws stored, lines skipped.
QString countsLine(const QString& what, const StoredCounts& counts);

} // namespace brenvik::ui
