#include "HistoryStore.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

#include <array>
#include <string>
#include <system_error>

namespace brenvik {

namespace {

// Columns read and written for a draw, in this order: SQQH, QQH, strQQH, the 36 code columns
// (own, S, P; position by position, kinds A B E F), the five txtHisLst columns, the five
// txtHisPreLst columns.
constexpr int kCodeColumnsStart = 3;
constexpr int kLastStart = kCodeColumnsStart + 36;
constexpr int kPreStart = kLastStart + kSummaryCount;
constexpr int kDrawColumnCount = kPreStart + kSummaryCount;

const std::vector<std::string>& drawColumns() {
    static const std::vector<std::string> columns = [] {
        std::vector<std::string> c = {"SQQH", "QQH", "strQQH"};
        for (Variant v : {Variant::Own, Variant::Previous, Variant::Back})
            for (int p = 1; p <= kPositions; ++p)
                for (int k = 0; k < kKindCount; ++k)
                    c.push_back(columnName(p, static_cast<Kind>(k), v));
        for (auto name : kLastColumns)
            c.emplace_back(name);
        for (auto name : kBackColumns)
            c.emplace_back(name);
        return c;
    }();
    return columns;
}

std::string joinedColumns() {
    std::string s;
    for (const auto& c : drawColumns()) {
        if (!s.empty())
            s += ", ";
        s += '[' + c + ']';
    }
    return s;
}

// The issue number is the table's key: unique, and the table is kept in issue order.
std::string schemaSql() {
    std::string sql =
        "CREATE TABLE IF NOT EXISTS Lishi (SQQH INTEGER PRIMARY KEY NOT NULL, QQH INTEGER, strQQH TEXT";
    const auto& cols = drawColumns();
    for (int i = kCodeColumnsStart; i < kLastStart; ++i)
        sql += ", " + cols[i] + " INTEGER NOT NULL DEFAULT 0";
    for (int i = kLastStart; i < kDrawColumnCount; ++i)
        sql += ", " + cols[i] + " TEXT NOT NULL DEFAULT ''";
    sql += ", intTh INTEGER NOT NULL DEFAULT 0, bolOk INTEGER NOT NULL DEFAULT 0, txtHisP6 TEXT);"
           "CREATE TABLE IF NOT EXISTS Carcu (Nmb INTEGER, Count INTEGER);";
    return sql;
}

Error databaseError(const std::filesystem::path& file, const std::exception& e) {
    return Error{ErrorCode::Database, "数据库文件 " + shownPath(file) + " 操作失败：" + e.what()};
}

HistoryStore::RowSource rowsOf(std::span<const DrawRow> rows) {
    return [rows, i = std::size_t{0}](DrawRow& next) mutable {
        if (i == rows.size())
            return false;
        next = rows[i++];
        return true;
    };
}

using StatementPtr = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

StatementPtr prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        throw SQLite::Exception(db, sqlite3_errcode(db));
    return StatementPtr(raw, &sqlite3_finalize);
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

} // namespace

HistoryStore::HistoryStore(std::filesystem::path file, std::unique_ptr<SQLite::Database> db)
    : m_file(std::move(file)), m_db(std::move(db)) {}

HistoryStore::~HistoryStore() = default;

Result<std::unique_ptr<HistoryStore>> HistoryStore::open(const std::filesystem::path& file) {
    std::error_code ec;
    const bool exists = std::filesystem::exists(file, ec);
    if (exists && !std::filesystem::is_regular_file(file, ec))
        return fail(ErrorCode::NotOurs, "数据库文件 " + shownPath(file) + " 不是普通文件，无法打开。");
    try {
        // One connection, used by one thread: the engine need not lock around every call.
        const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (exists ? 0 : SQLITE_OPEN_CREATE);
        auto db = std::make_unique<SQLite::Database>(file.string(), flags);
        db->setBusyTimeout(3000);

        // Read the header before anything is written: a file of someone else must stay as it is.
        int appId = 0, version = 0, objects = 0;
        try {
            appId = db->execAndGet("PRAGMA application_id").getInt();
            version = db->execAndGet("PRAGMA user_version").getInt();
            objects = db->execAndGet("SELECT count(*) FROM sqlite_master").getInt();
        } catch (const std::exception& e) {
            return fail(ErrorCode::NotOurs, "文件 " + shownPath(file) +
                                                " 不是本程序的历史数据库，或已损坏（" + e.what() +
                                                "），未作任何改动。");
        }
        const bool fresh = appId == 0 && objects == 0;
        if (!fresh && appId != kApplicationId)
            return fail(ErrorCode::NotOurs,
                        "文件 " + shownPath(file) + " 不是本程序的历史数据库，未作任何改动。");
        if (version > kSchemaVersion)
            return fail(ErrorCode::NotOurs,
                        "数据库文件 " + shownPath(file) + " 由较新版本的程序创建，本版本无法使用。");

        // A complete database of ours is opened without writing anything.
        const bool complete =
            !fresh && version == kSchemaVersion && db->tableExists("Lishi") && db->tableExists("Carcu");
        if (!complete) {
            db->exec("PRAGMA journal_mode=WAL");
            SQLite::Transaction tx(*db, SQLite::TransactionBehavior::IMMEDIATE);
            db->exec(schemaSql());
            db->exec("PRAGMA application_id=" + std::to_string(kApplicationId));
            db->exec("PRAGMA user_version=" + std::to_string(kSchemaVersion));
            tx.commit();
        }
        db->exec("PRAGMA synchronous=FULL");
        return std::unique_ptr<HistoryStore>(new HistoryStore(file, std::move(db)));
    } catch (const std::exception& e) {
        return fail(ErrorCode::Database, "无法打开数据库文件 " + shownPath(file) + "：" + e.what());
    }
}

Result<SnapshotPtr> HistoryStore::loadSnapshot() const {
    try {
        std::vector<DrawRow> rows;
        rows.reserve(static_cast<std::size_t>(m_db->execAndGet("SELECT count(*) FROM Lishi").getInt64()));
        // Read through the engine's own column calls: this loop runs once per stored draw.
        const std::string sql = "SELECT " + joinedColumns() + " FROM Lishi ORDER BY SQQH";
        StatementPtr statement = prepare(m_db->getHandle(), sql);
        sqlite3_stmt* st = statement.get();
        auto text = [st](int column) {
            const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
            return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(st, column)))
                     : std::string();
        };
        auto codes = [st](int start) {
            DrawCodes c{};
            for (int p = 0; p < kPositions; ++p)
                for (int k = 0; k < kKindCount; ++k)
                    c[p][k] = static_cast<std::int16_t>(sqlite3_column_int(st, start + p * kKindCount + k));
            return c;
        };
        int step;
        while ((step = sqlite3_step(st)) == SQLITE_ROW) {
            DrawRow& r = rows.emplace_back();
            r.sqqh = sqlite3_column_int(st, 0);
            r.qqh = sqlite3_column_int(st, 1);
            r.strQQH = text(2);
            r.own = codes(kCodeColumnsStart);
            r.prev = codes(kCodeColumnsStart + 12);
            r.back = codes(kCodeColumnsStart + 24);
            for (int i = 0; i < kSummaryCount; ++i) {
                r.last[i] = text(kLastStart + i);
                r.pre[i] = text(kPreStart + i);
            }
        }
        if (step != SQLITE_DONE)
            throw SQLite::Exception(m_db->getHandle(), step);
        return std::make_shared<const HistorySnapshot>(std::move(rows));
    } catch (const std::exception& e) {
        return std::unexpected(databaseError(m_file, e));
    }
}

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
        SQLite::Transaction tx(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
        insertRows(rowsOf(rows));
        tx.commit();
        return {};
    } catch (const std::exception& e) {
        return std::unexpected(databaseError(m_file, e));
    }
}

Result<void> HistoryStore::replaceAll(std::span<const DrawRow> rows) {
    return replaceAll(rowsOf(rows));
}

Result<void> HistoryStore::replaceAll(const RowSource& next) {
    try {
        SQLite::Transaction tx(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
        m_db->exec("DELETE FROM Lishi");
        insertRows(next);
        tx.commit();
        return {};
    } catch (const std::exception& e) {
        return std::unexpected(databaseError(m_file, e));
    }
}

Result<std::optional<std::int32_t>> HistoryStore::deleteLast() {
    try {
        SQLite::Transaction tx(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
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
        return std::unexpected(databaseError(m_file, e));
    }
}

Result<long long> HistoryStore::deleteAll() {
    try {
        SQLite::Transaction tx(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
        const long long n = m_db->exec("DELETE FROM Lishi");
        tx.commit();
        return n;
    } catch (const std::exception& e) {
        return std::unexpected(databaseError(m_file, e));
    }
}

Result<void> HistoryStore::writeTally(std::span<const std::pair<int, int>> rows) {
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
        return std::unexpected(databaseError(m_file, e));
    }
}

Result<std::vector<std::pair<int, int>>> HistoryStore::readTally() const {
    try {
        std::vector<std::pair<int, int>> rows;
        SQLite::Statement q(*m_db, "SELECT Nmb, Count FROM Carcu ORDER BY rowid");
        while (q.executeStep())
            rows.emplace_back(q.getColumn(0).getInt(), q.getColumn(1).getInt());
        return rows;
    } catch (const std::exception& e) {
        return std::unexpected(databaseError(m_file, e));
    }
}

} // namespace brenvik
