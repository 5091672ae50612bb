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

bool isScored(SQLite::Database& db, long long id) {
    if (!db.tableExists("YuceScore"))
        return false;
    SQLite::Statement q(db, "SELECT 1 FROM YuceScore WHERE entry = ?");
    q.bind(1, static_cast<std::int64_t>(id));
    return q.executeStep();
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
           " BEGIN SELECT RAISE(ABORT, 'a scored prediction is never withdrawn'); END;";
}

const char* PredictionLog::scoringSql() {
    return "INSERT INTO YuceScore (entry, issue, digits, scored)"
           " SELECT y.id, y.issue, printf('%d%d%d', l.L1A, l.L2A, l.L3A), ?1 FROM Yuce y"
           " JOIN Lishi l ON l.SQQH = y.issue"
           " WHERE NOT EXISTS (SELECT 1 FROM YuceScore s WHERE s.entry = y.id)";
}

Result<LogEntry> PredictionLog::record(HistoryStore& store, LogEntry entry) {
    if (store.readOnly())
        return fail(ErrorCode::ReadOnly, shownPath(store.file()) + " 只能读取，不能记录预测。");
    if (entry.picks.empty())
        return fail(ErrorCode::Invalid, "没有要记录的预测号码。");
    if (auto writable = store.requireWritable(); !writable)
        return std::unexpected(writable.error());
    if (entry.recorded.empty())
        entry.recorded = utcTimestamp(std::chrono::duration_cast<std::chrono::seconds>(
                                          std::chrono::system_clock::now().time_since_epoch())
                                          .count());
    entry.game = store.game();
    entry.score.reset();
    try {
        SQLite::Database& db = *store.m_db;
        SQLite::Transaction tx(db, SQLite::TransactionBehavior::IMMEDIATE);
        if (const auto last = lastStoredIssue(db); last && *last >= entry.issue)
            return fail(ErrorCode::Invalid, *last == entry.issue || isStored(db, entry.issue)
                                                ? "第 " + std::to_string(entry.issue) + " 期：" +
                                                      std::string(kAlreadyDrawn) + "。"
                                                : "第 " + std::to_string(entry.issue) +
                                                      " 期早于已有的最后一期 " + std::to_string(*last) +
                                                      "，" + kAlreadyDrawn + "。");
        SQLite::Statement ins(db,
                              "INSERT INTO Yuce (recorded, game, issue, conditions, resultType, resultPos,"
                              " segment, picks) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
        bindEntry(ins, entry, 1);
        ins.exec();
        entry.id = db.getLastInsertRowid();
        tx.commit();
        return entry;
    } catch (const std::exception& e) {
        return std::unexpected(store.failure(e));
    }
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
        if (const std::string digits = q.getColumn(9).getString();
            digits.size() == 3 && std::ranges::all_of(digits, [](char c) { return c >= '0' && c <= '9'; }))
            e.score =
                EntryScore{{digits[0] - '0', digits[1] - '0', digits[2] - '0'}, q.getColumn(10).getString()};
        out.push_back(std::move(e));
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

Result<std::vector<LogEntry>> PredictionLog::entriesIn(const std::filesystem::path& file) {
    try {
        SQLite::Database db(readerUriOf(file), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
        db.setBusyTimeout(3000);
        // Every page is checked as it is read: an entry from a damaged page is not carried.
        db.exec("PRAGMA cell_size_check=ON");
        if (db.execAndGet("PRAGMA application_id").getInt() != HistoryStore::kApplicationId)
            return fail(ErrorCode::NotOurs, "文件 " + shownPath(file) + " 不是本程序的历史数据库。");
        return readEntries(db, gameOfDatabaseFile(file).value_or(Game::Fc3d));
    } catch (const std::exception& e) {
        return std::unexpected(engineError(file, e, nullptr));
    }
}

Result<void> PredictionLog::carry(HistoryStore& store, const std::vector<LogEntry>& entries) {
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
        for (const LogEntry& e : entries) {
            entry.bind(1, static_cast<std::int64_t>(e.id));
            bindEntry(entry, e, 2);
            entry.exec();
            entry.reset();
            if (!e.score)
                continue;
            const auto& d = e.score->digits;
            score.bind(1, static_cast<std::int64_t>(e.id));
            score.bind(2, e.issue);
            score.bind(3, std::to_string(d[0]) + std::to_string(d[1]) + std::to_string(d[2]));
            score.bind(4, e.score->scored);
            score.exec();
            score.reset();
        }
        tx.commit();
        return {};
    } catch (const std::exception& e) {
        return std::unexpected(store.failure(e));
    }
}

Result<void> PredictionLog::withdraw(HistoryStore& store, long long id) {
    if (store.readOnly())
        return fail(ErrorCode::ReadOnly, shownPath(store.file()) + " 只能读取，不能撤回预测。");
    if (auto writable = store.requireWritable(); !writable)
        return writable;
    try {
        SQLite::Database& db = *store.m_db;
        SQLite::Transaction tx(db, SQLite::TransactionBehavior::IMMEDIATE);
        SQLite::Statement q(db, "SELECT issue FROM Yuce WHERE id = ?");
        q.bind(1, static_cast<std::int64_t>(id));
        if (!q.executeStep())
            return fail(ErrorCode::Invalid, "没有编号为 " + std::to_string(id) + " 的预测记录。");
        const std::int32_t issue = q.getColumn(0).getInt();
        // Scored once its draw was stored, it stays scored when that draw is deleted again.
        if (isScored(db, id) || isStored(db, issue))
            return fail(ErrorCode::Invalid, "第 " + std::to_string(issue) + " 期已开奖，编号 " +
                                                std::to_string(id) + " 的预测已计分，不能撤回。");
        SQLite::Statement del(db, "DELETE FROM Yuce WHERE id = ?");
        del.bind(1, static_cast<std::int64_t>(id));
        del.exec();
        tx.commit();
        return {};
    } catch (const std::exception& e) {
        return std::unexpected(store.failure(e));
    }
}

} // namespace brenvik
