// SPDX-License-Identifier: GPL-3.0-or-later
// Writing the history: every change of the draws in one transaction, the tally and Meta.
#include "HistoryStore.h"
#include "HistoryStoreParts.h"

#include "PredictionLog.h"

#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

#include <array>
#include <chrono>
#include <optional>
#include <utility>

namespace brenvik {

using namespace storage;

namespace {

HistoryStore::RowSource rowsOf(std::span<const DrawRow> rows) {
    return [rows, i = std::size_t{0}](DrawRow& next) mutable {
        if (i == rows.size())
            return false;
        next = rows[i++];
        return true;
    };
}
void bindCodes(sqlite3_stmt* st, int start, const DrawCodes& c) {
    for (int p = 0; p < kPositions; ++p)
        for (int k = 0; k < kKindCount; ++k)
            sqlite3_bind_int(st, start + p * kKindCount + k + 1, c[p][k]);
}

void bindText(sqlite3_stmt* st, int index, const std::string& text) {
    // The row outlives the step, so the engine need not copy the text.
    sqlite3_bind_text(st, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

// A score is stamped with the moment its draw was first stored.
std::string utcNow() {
    return utcTimestamp(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

} // namespace

namespace storage {

// Scores, for good, every logbook entry and play whose draw is stored now and that has no score yet.
void scoreDrawnPredictions(SQLite::Database& db) {
    PredictionLog::scoreDrawn(db, utcNow());
}

} // namespace storage

// The transaction of every change of the draws. It calls the store's keeper (if one is set)
// before anything changes, and scores the logbook's entries whose draws it stored before it
// commits, so a score is written exactly when its draw first is.
class HistoryStore::ChangeTransaction {
public:
    explicit ChangeTransaction(HistoryStore& store) : m_store(store) {
        // A damaged file is never written into: whatever is written could land on a page that
        // holds draws.
        if (auto writable = store.requireWritable(); !writable)
            throw StoreRefusal(writable.error());
        m_tx.emplace(*store.m_db, SQLite::TransactionBehavior::IMMEDIATE);
        m_keeper = std::exchange(store.m_keeper, nullptr);
        if (!m_keeper)
            return;
        try {
            auto mark = m_keeper->keep(store);
            if (!mark)
                throw StoreRefusal(mark.error());
            SQLite::Statement q(*store.m_db, "INSERT OR REPLACE INTO Meta (key, value) VALUES ('undo', ?)");
            q.bind(1, *mark);
            q.exec();
        } catch (...) {
            m_tx.reset();
            std::exchange(m_keeper, nullptr)->finished(false);
            throw;
        }
    }
    ChangeTransaction(const ChangeTransaction&) = delete;
    ChangeTransaction& operator=(const ChangeTransaction&) = delete;

    ~ChangeTransaction() {
        m_tx.reset(); // rolls back what was not committed, before the keeper hears of it
        if (m_keeper)
            m_keeper->finished(m_committed);
    }

    void commit() {
        scoreDrawnPredictions(*m_store.m_db);
        m_tx->commit();
        m_committed = true;
    }

private:
    HistoryStore& m_store;
    std::optional<SQLite::Transaction> m_tx;
    ChangeKeeper* m_keeper = nullptr;
    bool m_committed = false;
};

namespace {

std::string insertSql(int rowCount) {
    std::string values = "(?";
    for (int i = 1; i < kDrawColumnCount; ++i)
        values += ",?";
    values += ")";
    std::string sql = "INSERT INTO Lishi (" + joinedColumns() + ") VALUES " + values;
    for (int i = 1; i < rowCount; ++i)
        sql += "," + values;
    return sql;
}

void bindRow(sqlite3_stmt* st, int first, const DrawRow& r) {
    sqlite3_bind_int(st, first + 1, r.sqqh);
    sqlite3_bind_int(st, first + 2, r.qqh);
    if (r.strQQH.empty())
        sqlite3_bind_null(st, first + 3);
    else
        bindText(st, first + 3, r.strQQH);
    bindCodes(st, first + kCodeColumnsStart, r.own);
    bindCodes(st, first + kCodeColumnsStart + 12, r.prev);
    bindCodes(st, first + kCodeColumnsStart + 24, r.back);
    for (int i = 0; i < kSummaryCount; ++i) {
        bindText(st, first + kLastStart + i + 1, r.last[i]);
        bindText(st, first + kPreStart + i + 1, r.pre[i]);
    }
}

void runOnce(sqlite3* db, sqlite3_stmt* st) {
    const int step = sqlite3_step(st);
    sqlite3_reset(st);
    if (step != SQLITE_DONE)
        throw SQLite::Exception(db, step);
}

} // namespace

// Runs once per stored draw, a million times for a large import. The engine's own calls keep
// the cost per row at binding and stepping, and a statement of many rows pays the engine's
// per-statement work once for all of them.
void HistoryStore::insertRows(const RowSource& next) {
    constexpr int kBatch = 32;
    sqlite3* db = m_db->getHandle();
    StatementPtr single = prepare(db, insertSql(1));
    StatementPtr batch = prepare(db, insertSql(kBatch));
    std::array<DrawRow, kBatch> rows;
    for (;;) {
        int filled = 0;
        while (filled < kBatch && next(rows[filled]))
            ++filled;
        if (filled == kBatch) {
            for (int i = 0; i < kBatch; ++i)
                bindRow(batch.get(), i * kDrawColumnCount, rows[i]);
            runOnce(db, batch.get());
            continue;
        }
        for (int i = 0; i < filled; ++i) {
            bindRow(single.get(), 0, rows[i]);
            runOnce(db, single.get());
        }
        return;
    }
}

Result<void> HistoryStore::append(std::span<const DrawRow> rows) {
    try {
        ChangeTransaction tx(*this);
        insertRows(rowsOf(rows));
        tx.commit();
        return {};
    } catch (const std::exception& e) {
        return std::unexpected(failure(e));
    }
}

Result<long long> HistoryStore::appendDraws(std::span<const DrawLine> draws, int segmentParam) {
    if (draws.empty())
        return 0;
    try {
        ChangeTransaction tx(*this);
        // Read under the write lock: what this program saw before may no longer be the last row.
        const std::optional<DrawRow> last = readLastRow();
        for (std::size_t i = 0; i < draws.size(); ++i) {
            const std::int32_t issue = draws[i].issue;
            if (i == 0 && last && issue <= last->sqqh)
                return fail(ErrorCode::Invalid, "期号 " + std::to_string(issue) + " 不大于已有的最后一期 " +
                                                    std::to_string(last->sqqh) + "，未保存。");
            if (i > 0 && issue <= draws[i - 1].issue)
                return fail(ErrorCode::Invalid, "期号 " + std::to_string(issue) + " 不大于它前面的第 " +
                                                    std::to_string(draws[i - 1].issue) + " 期，未保存。");
        }
        RunningState state = last ? RunningState::after(*last) : RunningState::empty();
        insertRows([&, i = std::size_t{0}](DrawRow& next) mutable {
            if (i == draws.size())
                return false;
            next = appendDraw(draws[i].issue, draws[i].digits, segmentParam, state);
            ++i;
            return true;
        });
        tx.commit();
        return static_cast<long long>(draws.size());
    } catch (const std::exception& e) {
        return std::unexpected(failure(e));
    }
}

Result<void> HistoryStore::replaceAll(std::span<const DrawRow> rows) {
    return replaceAll(rowsOf(rows));
}

Result<void> HistoryStore::replaceAll(const RowSource& next) {
    try {
        ChangeTransaction tx(*this);
        m_db->exec("DELETE FROM Lishi");
        insertRows(next);
        tx.commit();
        return {};
    } catch (const std::exception& e) {
        return std::unexpected(failure(e));
    }
}

Result<std::optional<std::int32_t>> HistoryStore::deleteLast() {
    try {
        ChangeTransaction tx(*this);
        // Read inside the write transaction: the draw deleted is the one named.
        const auto last = [this]() -> std::optional<std::int32_t> {
            const SQLite::Column max = m_db->execAndGet("SELECT max(SQQH) FROM Lishi");
            return max.isNull() ? std::nullopt : std::optional(max.getInt());
        }();
        if (!last)
            return std::nullopt;
        const std::int32_t issue = *last;
        SQLite::Statement del(*m_db, "DELETE FROM Lishi WHERE SQQH = ?");
        del.bind(1, issue);
        del.exec();
        tx.commit();
        return issue;
    } catch (const std::exception& e) {
        return std::unexpected(failure(e));
    }
}

Result<long long> HistoryStore::deleteAll() {
    try {
        ChangeTransaction tx(*this);
        const long long n = m_db->exec("DELETE FROM Lishi");
        tx.commit();
        return n;
    } catch (const std::exception& e) {
        return std::unexpected(failure(e));
    }
}

Result<void> HistoryStore::writeTally(std::span<const std::pair<int, int>> rows) {
    // Scratch data: a history that can only be read, or that is damaged, keeps no tally, and a
    // search must still work.
    if (readOnly() || !requireWritable())
        return {};
    try {
        // The tally means nothing between searches, so it need not wait for the disk.
        m_db->exec("PRAGMA synchronous=OFF");
        struct Restore {
            SQLite::Database& db;
            ~Restore() {
                try {
                    db.exec("PRAGMA synchronous=FULL");
                } catch (...) {
                }
            }
        } restore{*m_db};
        SQLite::Transaction tx(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
        m_db->exec("DELETE FROM Carcu");
        SQLite::Statement ins(*m_db, "INSERT INTO Carcu (Nmb, Count) VALUES (?, ?)");
        for (const auto& [outcome, count] : rows) {
            ins.bind(1, outcome);
            ins.bind(2, count);
            ins.exec();
            ins.reset();
        }
        tx.commit();
        return {};
    } catch (const std::exception& e) {
        return std::unexpected(failure(e));
    }
}

Result<void> HistoryStore::setMeta(const std::string& key, const std::string& value) {
    if (auto writable = requireWritable(); !writable)
        return writable;
    try {
        SQLite::Statement q(*m_db, "INSERT OR REPLACE INTO Meta (key, value) VALUES (?, ?)");
        q.bind(1, key);
        q.bind(2, value);
        q.exec();
        return {};
    } catch (const std::exception& e) {
        return std::unexpected(failure(e));
    }
}

} // namespace brenvik
