// SPDX-License-Identifier: GPL-3.0-or-later
#include "PredictionLog.h"

#include "HistoryStore.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>

namespace brenvik {

namespace {

std::string joined(const std::vector<int>& picks) {
    std::string s;
    for (const int p : picks)
        s += (s.empty() ? "" : ",") + std::to_string(p);
    return s;
}

// Binds an entry's columns from `recorded` to `picks` (as listed in the Yuce table), from parameter
// `first` on.
void bindEntry(SQLite::Statement& st, const LogEntry& e, int first) {
    st.bind(first, e.recorded);
    st.bind(first + 1, std::string(companionId(e.game)));
    st.bind(first + 2, e.issue);
    st.bind(first + 3, e.conditions);
    st.bind(first + 4, static_cast<int>(e.resultKind));
    st.bind(first + 5, e.resultPosition);
    st.bind(first + 6, e.segmentParam);
    st.bind(first + 7, joined(e.picks));
}

// Binds a play's columns from `recorded` to `numbers`, from parameter `first` on.
void bindPlay(SQLite::Statement& st, const Play& p, int first) {
    st.bind(first, p.recorded);
    st.bind(first + 1, std::string(companionId(p.game)));
    st.bind(first + 2, p.issue);
    st.bind(first + 3, p.conditions);
    st.bind(first + 4, static_cast<int>(p.ticket));
    st.bind(first + 5, joined(p.numbers));
}

std::vector<int> split(const std::string& text) {
    std::vector<int> picks;
    std::istringstream in(text);
    std::string part;
    while (std::getline(in, part, ','))
        picks.push_back(std::stoi(part));
    return picks;
}

// Issues are compared inside the writing transaction: a draw stored by another program since
// the caller last looked counts as well.
std::optional<std::int32_t> lastStoredIssue(SQLite::Database& db) {
    const SQLite::Column max = db.execAndGet("SELECT max(SQQH) FROM Lishi");
    return max.isNull() ? std::nullopt : std::optional(max.getInt());
}

bool isStored(SQLite::Database& db, std::int32_t issue) {
    SQLite::Statement q(db, "SELECT 1 FROM Lishi WHERE SQQH = ?");
    q.bind(1, issue);
    return q.executeStep();
}

// The two kinds of record the logbook keeps, each in a table of its own with its scores beside it.
struct Book {
    const char* table;  // Yuce, Touzhu
    const char* scores; // YuceScore, TouzhuScore
    const char* key;    // the scores' column that names the record
    const char* noun;   // what messages call one: 预测, 投注
};
constexpr Book kPredictions{"Yuce", "YuceScore", "entry", "预测"};
constexpr Book kPlays{"Touzhu", "TouzhuScore", "play", "投注"};

bool isScored(SQLite::Database& db, const Book& book, long long id) {
    if (!db.tableExists(book.scores))
        return false;
    SQLite::Statement q(db, std::string("SELECT 1 FROM ") + book.scores + " WHERE " + book.key + " = ?");
    q.bind(1, static_cast<std::int64_t>(id));
    return q.executeStep();
}

std::string digitsText(const std::array<int, 3>& d) {
    return std::to_string(d[0]) + std::to_string(d[1]) + std::to_string(d[2]);
}

std::optional<EntryScore> scoreOf(const SQLite::Column& digits, const SQLite::Column& scored) {
    const std::string d = digits.getString();
    if (d.size() != 3 || !std::ranges::all_of(d, [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return EntryScore{{d[0] - '0', d[1] - '0', d[2] - '0'}, scored.getString()};
}

void insertScore(SQLite::Statement& st, long long id, std::int32_t issue, const EntryScore& score) {
    st.bind(1, static_cast<std::int64_t>(id));
    st.bind(2, issue);
    st.bind(3, digitsText(score.digits));
    st.bind(4, score.scored);
    st.exec();
    st.reset();
}

std::string nowUtc() {
    return utcTimestamp(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

// How the store words an engine's failure (HistoryStore::failure, which only the logbook may call).
using Failure = std::function<Error(const std::exception&)>;

// Stores one record of `book` in its own transaction, once no draw at or after `issue` is stored:
// such a draw is known, and a record made after it proves nothing. `insert` binds and runs the
// insertion; the new id is returned.
// `connection` is the store's: making sure it may be written can open it anew.
template <typename Insert>
Result<long long> recordIn(HistoryStore& store, const std::unique_ptr<SQLite::Database>& connection,
                           const Failure& failed, const Book& book, std::int32_t issue, Insert insert) {
    if (store.readOnly())
        return fail(ErrorCode::ReadOnly, shownPath(store.file()) + " 只能读取，不能记录" + book.noun + "。");
    if (auto writable = store.requireWritable(); !writable)
        return std::unexpected(writable.error());
    try {
        SQLite::Database& db = *connection;
        SQLite::Transaction tx(db, SQLite::TransactionBehavior::IMMEDIATE);
        if (const auto last = lastStoredIssue(db); last && *last >= issue) {
            const std::string drawn = std::string("该期已开奖，不能再记录") + book.noun;
            return fail(ErrorCode::Invalid, *last == issue || isStored(db, issue)
                                                ? "第 " + std::to_string(issue) + " 期：" + drawn + "。"
                                                : "第 " + std::to_string(issue) + " 期早于已有的最后一期 " +
                                                      std::to_string(*last) + "，" + drawn + "。");
        }
        insert(db);
        const long long id = db.getLastInsertRowid();
        tx.commit();
        return id;
    } catch (const std::exception& e) {
        return std::unexpected(failed(e));
    }
}

} // namespace

std::string utcTimestamp(std::int64_t secondsSinceEpoch) {
    const auto t = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return buf;
}

std::string PredictionLog::schemaSql() {
    // AUTOINCREMENT: the id of a withdrawn entry is never given to another.
    return "CREATE TABLE IF NOT EXISTS Yuce (id INTEGER PRIMARY KEY AUTOINCREMENT, recorded TEXT NOT NULL,"
           " game TEXT NOT NULL, issue INTEGER NOT NULL, conditions TEXT NOT NULL,"
           " resultType INTEGER NOT NULL, resultPos INTEGER NOT NULL, segment INTEGER NOT NULL,"
           " picks TEXT NOT NULL);"
           "CREATE TRIGGER IF NOT EXISTS YuceNeverEdited BEFORE UPDATE ON Yuce"
           " BEGIN SELECT RAISE(ABORT, 'a recorded prediction is never changed'); END;"
           // Written once, when the entry's draw is first stored: deleting, retyping or undoing
           // that draw later does not rewrite how the prediction did.
           "CREATE TABLE IF NOT EXISTS YuceScore (entry INTEGER PRIMARY KEY NOT NULL, issue INTEGER NOT NULL,"
           " digits TEXT NOT NULL, scored TEXT NOT NULL);"
           "CREATE TRIGGER IF NOT EXISTS YuceScoreNeverEdited BEFORE UPDATE ON YuceScore"
           " BEGIN SELECT RAISE(ABORT, 'a score is never changed'); END;"
           "CREATE TRIGGER IF NOT EXISTS YuceScoreNeverRemoved BEFORE DELETE ON YuceScore"
           " BEGIN SELECT RAISE(ABORT, 'a score is never removed'); END;"
           "CREATE TRIGGER IF NOT EXISTS YuceScoredStays BEFORE DELETE ON Yuce"
           " WHEN EXISTS (SELECT 1 FROM YuceScore WHERE entry = OLD.id)"
           " BEGIN SELECT RAISE(ABORT, 'a scored prediction is never withdrawn'); END;"
           // The plays, kept and scored as the predictions are. `numbers` lists the tickets.
           "CREATE TABLE IF NOT EXISTS Touzhu (id INTEGER PRIMARY KEY AUTOINCREMENT, recorded TEXT NOT NULL,"
           " game TEXT NOT NULL, issue INTEGER NOT NULL, conditions TEXT NOT NULL, ticket INTEGER NOT NULL,"
           " numbers TEXT NOT NULL);"
           "CREATE TRIGGER IF NOT EXISTS TouzhuNeverEdited BEFORE UPDATE ON Touzhu"
           " BEGIN SELECT RAISE(ABORT, 'a recorded play is never changed'); END;"
           "CREATE TABLE IF NOT EXISTS TouzhuScore (play INTEGER PRIMARY KEY NOT NULL, issue INTEGER NOT "
           "NULL,"
           " digits TEXT NOT NULL, scored TEXT NOT NULL);"
           "CREATE TRIGGER IF NOT EXISTS TouzhuScoreNeverEdited BEFORE UPDATE ON TouzhuScore"
           " BEGIN SELECT RAISE(ABORT, 'a score is never changed'); END;"
           "CREATE TRIGGER IF NOT EXISTS TouzhuScoreNeverRemoved BEFORE DELETE ON TouzhuScore"
           " BEGIN SELECT RAISE(ABORT, 'a score is never removed'); END;"
           "CREATE TRIGGER IF NOT EXISTS TouzhuScoredStays BEFORE DELETE ON Touzhu"
           " WHEN EXISTS (SELECT 1 FROM TouzhuScore WHERE play = OLD.id)"
           " BEGIN SELECT RAISE(ABORT, 'a scored play is never withdrawn'); END;";
}

void PredictionLog::scoreDrawn(SQLite::Database& db, const std::string& when) {
    for (const Book& book : {kPredictions, kPlays}) {
        SQLite::Statement score(db,
                                std::string("INSERT INTO ") + book.scores + " (" + book.key +
                                    ", issue, digits, scored)"
                                    " SELECT r.id, r.issue, printf('%d%d%d', l.L1A, l.L2A, l.L3A), ?1 FROM " +
                                    book.table +
                                    " r JOIN Lishi l ON l.SQQH = r.issue WHERE NOT EXISTS"
                                    " (SELECT 1 FROM " +
                                    book.scores + " s WHERE s." + book.key + " = r.id)");
        score.bind(1, when);
        score.exec();
    }
}

std::string_view ticketCaption(Ticket ticket) {
    return ticket == Ticket::Group ? "组选" : "直选";
}

std::string_view ticketId(Ticket ticket) {
    return ticket == Ticket::Group ? "group" : "direct";
}

std::optional<Ticket> ticketOfId(std::string_view id) {
    if (id == "direct")
        return Ticket::Direct;
    if (id == "group")
        return Ticket::Group;
    return std::nullopt;
}

std::optional<int> ticketOf(Ticket ticket, int number) {
    if (number < 0 || number > 999)
        return std::nullopt;
    if (ticket == Ticket::Direct)
        return number;
    std::array<int, 3> d = {number / 100, number / 10 % 10, number % 10};
    std::ranges::sort(d);
    if (d[0] == d[2])
        return std::nullopt;
    return d[0] * 100 + d[1] * 10 + d[2];
}

Result<LogEntry> PredictionLog::record(HistoryStore& store, LogEntry entry) {
    if (entry.picks.empty() && !store.readOnly())
        return fail(ErrorCode::Invalid, "没有要记录的预测号码。");
    if (entry.recorded.empty())
        entry.recorded = nowUtc();
    entry.game = store.game();
    entry.score.reset();
    auto id = recordIn(
        store, store.m_db, [&store](const std::exception& e) { return store.failure(e); }, kPredictions,
        entry.issue,
        [&entry](SQLite::Database& db) {
            SQLite::Statement ins(
                db, "INSERT INTO Yuce (recorded, game, issue, conditions, resultType, resultPos,"
                    " segment, picks) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
            bindEntry(ins, entry, 1);
            ins.exec();
        });
    if (!id)
        return std::unexpected(id.error());
    entry.id = *id;
    return entry;
}

Result<Play> PredictionLog::recordPlay(HistoryStore& store, Play play) {
    // Each ticket once, in order, and one its kind can be: what the money is counted from.
    const bool sound =
        !play.numbers.empty() && std::ranges::is_sorted(play.numbers) &&
        std::ranges::adjacent_find(play.numbers) == play.numbers.end() &&
        std::ranges::all_of(play.numbers, [&play](int n) { return ticketOf(play.ticket, n) == n; });
    if (!sound && !store.readOnly())
        return fail(ErrorCode::Invalid,
                    play.numbers.empty()
                        ? "没有要记录的投注号码。"
                        : "投注号码不是有效的" + std::string(ticketCaption(play.ticket)) + "号码，未记录。");
    if (play.recorded.empty())
        play.recorded = nowUtc();
    play.game = store.game();
    play.score.reset();
    auto id = recordIn(
        store, store.m_db, [&store](const std::exception& e) { return store.failure(e); }, kPlays, play.issue,
        [&play](SQLite::Database& db) {
            SQLite::Statement ins(db,
                                  "INSERT INTO Touzhu (recorded, game, issue, conditions, ticket, numbers)"
                                  " VALUES (?, ?, ?, ?, ?, ?)");
            bindPlay(ins, play, 1);
            ins.exec();
        });
    if (!id)
        return std::unexpected(id.error());
    play.id = *id;
    return play;
}

namespace {

// Every entry of the logbook in `db`, oldest first; `game` names an entry whose own mark is
// unknown.
std::vector<LogEntry> readEntries(SQLite::Database& db, Game game) {
    std::vector<LogEntry> out;
    // A history written before the logbook existed, opened for reading only, has none.
    if (!db.tableExists("Yuce"))
        return out;
    // A history of an earlier version opened for reading only has no scores yet.
    const bool scores = db.tableExists("YuceScore");
    SQLite::Statement q(db,
                        std::string("SELECT y.id, y.recorded, y.game, y.issue, y.conditions, y.resultType,"
                                    " y.resultPos, y.segment, y.picks, ") +
                            (scores ? "s.digits, s.scored FROM Yuce y LEFT JOIN YuceScore s ON s.entry = y.id"
                                    : "NULL, NULL FROM Yuce y") +
                            " ORDER BY y.id");
    while (q.executeStep()) {
        LogEntry e;
        e.id = q.getColumn(0).getInt64();
        e.recorded = q.getColumn(1).getString();
        e.game = gameOfCompanionId(q.getColumn(2).getString()).value_or(game);
        e.issue = q.getColumn(3).getInt();
        e.conditions = q.getColumn(4).getString();
        e.resultKind = static_cast<Kind>(std::clamp(q.getColumn(5).getInt(), 0, kKindCount - 1));
        e.resultPosition = std::clamp(q.getColumn(6).getInt(), 1, kPositions);
        e.segmentParam = q.getColumn(7).getInt() == 0 ? 0 : 1;
        e.picks = split(q.getColumn(8).getString());
        e.score = scoreOf(q.getColumn(9), q.getColumn(10));
        out.push_back(std::move(e));
    }
    return out;
}

// Every play in `db`, oldest first, as readEntries reads the entries.
std::vector<Play> readPlays(SQLite::Database& db, Game game) {
    std::vector<Play> out;
    if (!db.tableExists("Touzhu"))
        return out;
    SQLite::Statement q(db, "SELECT t.id, t.recorded, t.game, t.issue, t.conditions, t.ticket, t.numbers,"
                            " s.digits, s.scored FROM Touzhu t LEFT JOIN TouzhuScore s ON s.play = t.id"
                            " ORDER BY t.id");
    while (q.executeStep()) {
        Play p;
        p.id = q.getColumn(0).getInt64();
        p.recorded = q.getColumn(1).getString();
        p.game = gameOfCompanionId(q.getColumn(2).getString()).value_or(game);
        p.issue = q.getColumn(3).getInt();
        p.conditions = q.getColumn(4).getString();
        p.ticket =
            q.getColumn(5).getInt() == static_cast<int>(Ticket::Group) ? Ticket::Group : Ticket::Direct;
        p.numbers = split(q.getColumn(6).getString());
        p.score = scoreOf(q.getColumn(7), q.getColumn(8));
        out.push_back(std::move(p));
    }
    return out;
}

} // namespace

Result<std::vector<LogEntry>> PredictionLog::entries(const HistoryStore& store) {
    try {
        return readEntries(*store.m_db, store.game());
    } catch (const std::exception& e) {
        return std::unexpected(store.failure(e));
    }
}

Result<std::vector<Play>> PredictionLog::plays(const HistoryStore& store) {
    try {
        return readPlays(*store.m_db, store.game());
    } catch (const std::exception& e) {
        return std::unexpected(store.failure(e));
    }
}

Result<LogbookRecords> PredictionLog::entriesIn(const std::filesystem::path& file) {
    try {
        SQLite::Database db(readerUriOf(file), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
        db.setBusyTimeout(3000);
        // Every page is checked as it is read: an entry from a damaged page is not carried.
        db.exec("PRAGMA cell_size_check=ON");
        if (db.execAndGet("PRAGMA application_id").getInt() != HistoryStore::kApplicationId)
            return fail(ErrorCode::NotOurs, "文件 " + shownPath(file) + " 不是本程序的历史数据库。");
        const Game game = gameOfDatabaseFile(file).value_or(Game::Fc3d);
        return LogbookRecords{readEntries(db, game), readPlays(db, game)};
    } catch (const std::exception& e) {
        return std::unexpected(engineError(file, e, nullptr));
    }
}

Result<void> PredictionLog::carry(HistoryStore& store, const LogbookRecords& records) {
    if (auto writable = store.requireWritable(); !writable)
        return writable;
    try {
        SQLite::Database& db = *store.m_db;
        SQLite::Transaction tx(db, SQLite::TransactionBehavior::IMMEDIATE);
        SQLite::Statement entry(
            db, "INSERT INTO Yuce (id, recorded, game, issue, conditions, resultType, resultPos,"
                " segment, picks) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
        SQLite::Statement score(db,
                                "INSERT INTO YuceScore (entry, issue, digits, scored) VALUES (?, ?, ?, ?)");
        for (const LogEntry& e : records.entries) {
            entry.bind(1, static_cast<std::int64_t>(e.id));
            bindEntry(entry, e, 2);
            entry.exec();
            entry.reset();
            if (e.score)
                insertScore(score, e.id, e.issue, *e.score);
        }
        SQLite::Statement play(db,
                               "INSERT INTO Touzhu (id, recorded, game, issue, conditions, ticket, numbers)"
                               " VALUES (?, ?, ?, ?, ?, ?, ?)");
        SQLite::Statement playScore(
            db, "INSERT INTO TouzhuScore (play, issue, digits, scored) VALUES (?, ?, ?, ?)");
        for (const Play& p : records.plays) {
            play.bind(1, static_cast<std::int64_t>(p.id));
            bindPlay(play, p, 2);
            play.exec();
            play.reset();
            if (p.score)
                insertScore(playScore, p.id, p.issue, *p.score);
        }
        tx.commit();
        return {};
    } catch (const std::exception& e) {
        return std::unexpected(store.failure(e));
    }
}

namespace {

// Removes a record of `book` that has not been scored, in one transaction.
Result<void> withdrawFrom(HistoryStore& store, const std::unique_ptr<SQLite::Database>& connection,
                          const Failure& failed, const Book& book, long long id) {
    if (store.readOnly())
        return fail(ErrorCode::ReadOnly, shownPath(store.file()) + " 只能读取，不能撤回" + book.noun + "。");
    if (auto writable = store.requireWritable(); !writable)
        return writable;
    try {
        SQLite::Database& db = *connection;
        SQLite::Transaction tx(db, SQLite::TransactionBehavior::IMMEDIATE);
        SQLite::Statement q(db, std::string("SELECT issue FROM ") + book.table + " WHERE id = ?");
        q.bind(1, static_cast<std::int64_t>(id));
        if (!q.executeStep())
            return fail(ErrorCode::Invalid,
                        "没有编号为 " + std::to_string(id) + " 的" + book.noun + "记录。");
        const std::int32_t issue = q.getColumn(0).getInt();
        // Scored once its draw was stored, it stays scored when that draw is deleted again.
        if (isScored(db, book, id) || isStored(db, issue))
            return fail(ErrorCode::Invalid, "第 " + std::to_string(issue) + " 期已开奖，编号 " +
                                                std::to_string(id) + " 的" + book.noun +
                                                "已计分，不能撤回。");
        SQLite::Statement del(db, std::string("DELETE FROM ") + book.table + " WHERE id = ?");
        del.bind(1, static_cast<std::int64_t>(id));
        del.exec();
        tx.commit();
        return {};
    } catch (const std::exception& e) {
        return std::unexpected(failed(e));
    }
}

} // namespace

Result<void> PredictionLog::withdraw(HistoryStore& store, long long id) {
    return withdrawFrom(
        store, store.m_db, [&store](const std::exception& e) { return store.failure(e); }, kPredictions, id);
}

Result<void> PredictionLog::withdrawPlay(HistoryStore& store, long long id) {
    return withdrawFrom(
        store, store.m_db, [&store](const std::exception& e) { return store.failure(e); }, kPlays, id);
}

} // namespace brenvik
