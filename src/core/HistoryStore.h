// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrawRow.h"
#include "Error.h"
#include "FileSeal.h"
#include "Game.h"
#include "HistorySnapshot.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;
namespace SQLite {
class Database;
}

namespace brenvik {

class HistoryStore;

// What is kept beside the history before a change of it (the undo backup, UndoBackup.h). It is
// told inside the change's transaction, once that holds the write lock and before it changes
// anything, so what it keeps is exactly the history the change starts from, whoever else writes.
class ChangeKeeper {
public:
    virtual ~ChangeKeeper() = default;
    // Keeps what it must of `store` as it stands and returns the mark the change stores with it
    // (Meta 'undo'): a reader afterwards tells by it whether the change committed. An error
    // cancels the change.
    virtual Result<std::string> keep(const HistoryStore& store) = 0;
    // The change's transaction has ended: committed, or rolled back.
    virtual void finished(bool committed) = 0;
};

// The history database of one game: table Lishi (one row per draw), the tally table Carcu, the
// table Meta, whose row 'game' names the game the history belongs to (companionId), and the
// logbook of predictions Yuce.
// Every change is one transaction; a failure leaves the file as it was.
// The page size of a new history and of a compacted one. A million draws take 10,000 pages of
// this size, where pages of 4 KiB (the engine's default, which histories before had) took 40,000
// and an import of them spent a fifth longer in the system's writing them to the log and file.
inline constexpr int kHistoryPageSize = 16384;

class HistoryStore {
public:
    static constexpr int kApplicationId = 0x4252334B; // marks the file as ours
    // 1: no Meta table; such a history was written before each game kept its own.
    // 2: no table Yuce, the logbook of predictions (PredictionLog.h).
    // 3: no table YuceScore, the scores the logbook's entries got when their draws were stored.
    // 4: no tables Touzhu and TouzhuScore, the plays and their scores.
    static constexpr int kSchemaVersion = 5;

    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // What a program does with the history it opens.
    enum class Access {
        Change, // the window and the companion's changes: may create, upgrade and change the file
        Read,   // searches, exports and tables: create, rename and write nothing in the folder
    };

    // Opens the database file. A path that is not a regular file (a pipe, a folder, a device) is
    // refused without being opened, as is one with such a thing beside it as its log.
    // For Change, a missing or 0-byte file is set up with every table. A file that exists but
    // cannot be read, is damaged or is not ours is reported and left untouched; at a history's own
    // place (kestrel3D.mdb, kestrelPL3.mdb) anything that holds no history and bears no other
    // program's application id (one byte, zeros, text, a database without our tables) is damaged.
    // A file that holds the bytes of its seal (FileSeal.h) is known sound at once. Otherwise the
    // whole file is checked when a log beside it holds changes (after a writer that did not
    // finish), and before a history of an earlier version is upgraded; else each page is checked
    // as it is read, and the whole file before the first change (checkWhole), which a reader asks
    // for with requireSound. Every commit of a sound file folds its log in and records its seal. Where the
    // file or its folder may not be written, or the disk is full, the history is opened for reading only and
    // every change is refused with that reason. The history must be that of `game`: a file marked with the
    // other game is reported and left untouched. A history written before the mark existed is marked with
    // `game`, unless it may only be read; the data folder's upgrade (upgradeDataFolder) decides that game
    // beforehand. For Read, nothing is created or written, and no log or index is made beside the file: a
    // missing file, an empty one and a history that an upgrade must mark or complete first are
    // reported, saying what to do (a folder that may not be written is read as it is).
    // A sealed file is proven at its opening (Proof::Now), or by the check its opener runs once
    // it has shown the history (Proof::Later: checkTask compares the seal first), which spares the
    // window's first appearance the reading of the whole file.
    enum class Proof { Now, Later };
    static Result<std::unique_ptr<HistoryStore>> open(const std::filesystem::path& file,
                                                      Game game = Game::Fc3d, Access access = Access::Change,
                                                      Proof proof = Proof::Now);

    // Why `file` may not be given to the engine: a pipe, a folder or a device at its place or at its
    // log's or index's, or a path longer than the engine takes. Nothing when it may be opened.
    static std::optional<Error> unopenable(const std::filesystem::path& file);

    // Checks a history file as checkWhole does, without opening it as a history: for a file that
    // may be too damaged to open. A file that is not ours, or holds no history, is an error of
    // its own kind; a missing file too.
    static Result<void> checkFile(const std::filesystem::path& file);

    // What a damaged history file still yields.
    struct Salvaged {
        std::vector<DrawLine> draws; // in issue order, each a draw an import would take
        long long refused = 0;       // rows read whose issue or digits name no draw
        bool pagesLost = false;      // parts of the table could not be read at all
    };
    // Reads the draws of the history file `file` row by row from its table, without its indexes,
    // going past the pages that cannot be read: what a restore keeps of a damaged file. Each row
    // is checked as an import checks a line: a seven-digit issue that issueProblem finds nothing
    // against in `currentYear`, and three digits 0 to 9. An error only when not one row can be
    // reached (the file's header or its list of tables is lost).
    static Result<Salvaged> salvage(const std::filesystem::path& file, int currentYear);

    // The game a history file of this program is marked with; nothing for one written before
    // the mark existed. Reads only; a file that is not a sound history of ours is an error.
    static Result<std::optional<Game>> markOf(const std::filesystem::path& file);

    const std::filesystem::path& file() const { return m_file; }
    Game game() const { return m_game; }
    bool readOnly() const { return !m_readOnly.empty(); }
    // What the user should know about the file just opened: that it could only be opened for
    // reading, or that it was an empty file and now holds a new, empty history. Empty otherwise.
    const std::string& notice() const { return m_notice; }

    // Checks the whole file: every page, every index against its table, and every stored digit
    // (one outside 0 to 9 is damage). Its verdict counts once given to acceptCheck.
    Result<void> checkWhole() const;
    // checkWhole as a task that needs nothing of this store, reading through a connection of its
    // own: for another thread, which may run while the store is used, and outlive it. A file that
    // holds the bytes of its seal passes without the whole check.
    std::function<Result<void>()> checkTask() const;
    // Takes the verdict of checkWhole. Until a verdict is taken, the first change runs the check
    // itself; after a verdict of damage every change is refused with it.
    void acceptCheck(const Result<void>& verdict);
    // A file read as it lies (a reader's, without a log) must not have changed since it was
    // opened: what was read of it is then what it holds. An error (ErrorCode::Busy) when another
    // program changed it; a reader reads it again.
    Result<void> unchangedSinceOpened() const;
    // Whether a verdict was taken and the file passed it.
    bool checkedSound() const { return m_verdict == Verdict::Sound; }
    // The verdict every change needs: the check is run here when none was taken yet.
    Result<void> requireSound();
    // The same, and the file may be written (not only read, not on a full disk).
    Result<void> requireWritable();

    // Every draw, in issue order.
    Result<SnapshotPtr> loadSnapshot() const;
    // The same, read in two parts at once when the history may hold `splitFrom` draws or more.
    Result<SnapshotPtr> loadSnapshot(std::size_t splitFrom) const;
    static constexpr std::size_t kSplitLoadFrom = 100'000;
    // The issue and digits of every draw, in issue order: all a text file of the history needs.
    Result<std::vector<DrawLine>> loadDraws() const;
    // The stored row with the highest issue; nothing when the history is empty.
    Result<std::optional<DrawRow>> lastRow() const;
    // Hands the issue and digits of every draw, in issue order, to `take`, which stops the
    // reading by returning false; returns how many it was handed. Reads as it goes, so a history
    // of any size costs no more memory than one draw.
    Result<long long> forEachDraw(const std::function<bool(const DrawLine&)>& take) const;
    // The issue and digits of the newest `count` draws (all when there are fewer), in issue
    // order; only those are read.
    Result<std::vector<DrawLine>> loadLastDraws(std::size_t count) const;

    // Fills in the next row to store and returns true, or returns false after the last one.
    // Lets a writer derive rows while they are stored, so a large import never holds a million
    // rows in memory at once.
    using RowSource = std::function<bool(DrawRow& next)>;

    Result<void> append(std::span<const DrawRow> rows);
    // Appends new draws after the last stored one, in one transaction, and returns how many were
    // stored. The running state is seeded from the last stored row and every issue is checked
    // against it inside the transaction, so a draw another program stored since this one last
    // looked is never overwritten or mis-derived. Issues must ascend; one that is not above the
    // draw before it refuses the whole batch with a message naming the last stored issue.
    Result<long long> appendDraws(std::span<const DrawLine> draws, int segmentParam);
    // Deletes every draw and stores `rows` in their place, as one transaction.
    Result<void> replaceAll(std::span<const DrawRow> rows);
    Result<void> replaceAll(const RowSource& next);
    // Deletes the draw with the highest issue number and returns its issue; nothing when there
    // was none.
    Result<std::optional<std::int32_t>> deleteLast();
    // Deletes every draw; returns how many were deleted.
    Result<long long> deleteAll();

    // The next change of the draws (append, appendDraws, replaceAll, deleteLast, deleteAll) calls
    // `keeper` inside its transaction; nullptr withdraws it. It is called once, by that change.
    void keepBeforeNextChange(ChangeKeeper* keeper) { m_keeper = keeper; }
    // The mark stored by the last change that ran with a keeper; empty when none has.
    Result<std::string> changeMark() const;

    // Replaces the tally table by (outcome, count) rows. Scratch data: not synced to disk.
    Result<void> writeTally(std::span<const std::pair<int, int>> rows);
    Result<std::vector<std::pair<int, int>>> readTally() const;

    // A value of the table Meta (as "updated": when an online update last completed); nothing
    // when it was never set.
    Result<std::optional<std::string>> meta(const std::string& key) const;
    Result<void> setMeta(const std::string& key, const std::string& value);

private:
    friend class PredictionLog; // keeps its table in the same file
    class ChangeTransaction;
    HistoryStore(std::filesystem::path file, Game game, std::unique_ptr<SQLite::Database> db);
    // open() with `readOnly` the reason the file may only be read, when one is known beforehand.
    static Result<std::unique_ptr<HistoryStore>> openAs(const std::filesystem::path& file, Game game,
                                                        Access access, Proof proof, std::string readOnly);
    void insertRows(const RowSource& next);
    std::optional<DrawRow> readLastRow() const;
    Error failure(const std::exception& e) const;

    // Replaces the reading connection by one that writes, once the file passed its check.
    void becomeWritable();
    // Folds the log into the file and records the file's seal (FileSeal.h); run after every
    // commit of the writing connection, once the file is known sound.
    void reseal();
    static int afterCommit(void* store, sqlite3* db, const char* name, int logPages);

    enum class Verdict { Unchecked, Sound, Damaged };

    std::filesystem::path m_file;
    Game m_game;
    std::unique_ptr<SQLite::Database> m_db;
    std::string m_readerUri;               // how a second connection opens the file for reading
    std::string m_identity;                // size, time and node of a file read as it lies; empty otherwise
    std::optional<FileSeal> m_openedBytes; // the seal of the bytes of a sealed file read as it lies
    Verdict m_verdict = Verdict::Unchecked;
    Error m_damage;
    bool m_changeable = false; // opened to change, in a folder and on a disk that take it
    bool m_dbWritable = false; // the connection writes (once the file passed its check)
    std::string m_readOnly;    // why nothing may be changed; empty when the history may be changed
    ErrorCode m_readOnlyCode = ErrorCode::ReadOnly;
    std::string m_notice;
    bool m_sealHolds = false; // the file was opened holding the bytes of its seal
    ChangeKeeper* m_keeper = nullptr;
};

// The error to report when the database engine fails on `file`: a full disk, a folder or file
// that may not be written, a damaged file, a busy file and a repeated issue each have words of
// their own, so a healthy file is never called damaged. `code` is the engine's result code on
// the connection `db` (which tells the system's error behind it); `detail` is its message.
Error storageError(const std::filesystem::path& file, int code, sqlite3* db, const std::string& detail);

// storageError for what the engine threw (or anything else thrown while it worked).
Error engineError(const std::filesystem::path& file, const std::exception& e, sqlite3* db);

// How a second connection reads `file` without writing beside it: as it lies, or through its
// log and the log's index when a log holds changes.
std::string readerUriOf(const std::filesystem::path& file);

// The one message of a damaged history database in both programs, with what the user can do:
// `detail` says what was found, in the engine's words or ours.
Error damagedError(const std::filesystem::path& file, const std::string& detail);

} // namespace brenvik
