#include "HistoryStore.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

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

std::string display(const std::filesystem::path& p) {
    auto u8 = p.u8string();
    return std::string(u8.begin(), u8.end());
}

Error databaseError(const std::filesystem::path& file, const std::exception& e) {
    return Error{ErrorCode::Database, "数据库文件 " + display(file) + " 操作失败：" + e.what()};
}

void bindCodes(SQLite::Statement& s, int start, const DrawCodes& c) {
    for (int p = 0; p < kPositions; ++p)
        for (int k = 0; k < kKindCount; ++k)
            s.bind(start + p * kKindCount + k + 1, c[p][k]);
}

} // namespace

HistoryStore::HistoryStore(std::filesystem::path file, std::unique_ptr<SQLite::Database> db)
    : m_file(std::move(file)), m_db(std::move(db)) {}

HistoryStore::~HistoryStore() = default;

Result<std::unique_ptr<HistoryStore>> HistoryStore::open(const std::filesystem::path& file) {
    std::error_code ec;
    const bool exists = std::filesystem::exists(file, ec);
    if (exists && !std::filesystem::is_regular_file(file, ec))
        return fail(ErrorCode::NotOurs, "数据库文件 " + display(file) + " 不是普通文件，无法打开。");
    try {
        const int flags = SQLITE_OPEN_READWRITE | (exists ? 0 : SQLITE_OPEN_CREATE);
        auto db = std::make_unique<SQLite::Database>(file.string(), flags);
        db->setBusyTimeout(3000);

        // Read the header before anything is written: a file of someone else must stay as it is.
        int appId = 0, version = 0, objects = 0;
        try {
            appId = db->execAndGet("PRAGMA application_id").getInt();
            version = db->execAndGet("PRAGMA user_version").getInt();
            objects = db->execAndGet("SELECT count(*) FROM sqlite_master").getInt();
        } catch (const std::exception& e) {
            return fail(ErrorCode::NotOurs, "文件 " + display(file) + " 不是本程序的历史数据库，或已损坏（" +
                                                e.what() + "），未作任何改动。");
        }
        const bool fresh = appId == 0 && objects == 0;
        if (!fresh && appId != kApplicationId)
            return fail(ErrorCode::NotOurs,
                        "文件 " + display(file) + " 不是本程序的历史数据库，未作任何改动。");
        if (version > kSchemaVersion)
            return fail(ErrorCode::NotOurs,
                        "数据库文件 " + display(file) + " 由较新版本的程序创建，本版本无法使用。");

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
        return fail(ErrorCode::Database, "无法打开数据库文件 " + display(file) + "：" + e.what());
    }
}

Result<SnapshotPtr> HistoryStore::loadSnapshot() const {
    try {
        std::vector<DrawRow> rows;
        rows.reserve(static_cast<std::size_t>(m_db->execAndGet("SELECT count(*) FROM Lishi").getInt64()));
        // Read through the engine's own column calls: this loop runs once per stored draw.
        const std::string sql = "SELECT " + joinedColumns() + " FROM Lishi ORDER BY SQQH";
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(m_db->getHandle(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
            throw SQLite::Exception(m_db->getHandle(), sqlite3_errcode(m_db->getHandle()));
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(raw, &sqlite3_finalize);
        sqlite3_stmt* st = raw;
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

Result<void> HistoryStore::insertRows(std::span<const DrawRow> rows) {
    std::string sql = "INSERT INTO Lishi (" + joinedColumns() + ") VALUES (?";
    for (int i = 1; i < kDrawColumnCount; ++i)
        sql += ",?";
    sql += ")";
    SQLite::Statement ins(*m_db, sql);
    for (const DrawRow& r : rows) {
        ins.bind(1, r.sqqh);
        ins.bind(2, r.qqh);
        if (r.strQQH.empty())
            ins.bind(3);
        else
            ins.bindNoCopy(3, r.strQQH);
        bindCodes(ins, kCodeColumnsStart, r.own);
        bindCodes(ins, kCodeColumnsStart + 12, r.prev);
        bindCodes(ins, kCodeColumnsStart + 24, r.back);
        for (int i = 0; i < kSummaryCount; ++i) {
            ins.bindNoCopy(kLastStart + i + 1, r.last[i]);
            ins.bindNoCopy(kPreStart + i + 1, r.pre[i]);
        }
        ins.exec();
        ins.reset();
    }
    return {};
}

Result<void> HistoryStore::append(std::span<const DrawRow> rows) {
    try {
        SQLite::Transaction tx(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
        if (auto r = insertRows(rows); !r)
            return r;
        tx.commit();
        return {};
    } catch (const std::exception& e) {
        return std::unexpected(databaseError(m_file, e));
    }
}

Result<void> HistoryStore::replaceAll(std::span<const DrawRow> rows) {
    try {
        SQLite::Transaction tx(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
        m_db->exec("DELETE FROM Lishi");
        if (auto r = insertRows(rows); !r)
            return r;
        tx.commit();
        return {};
    } catch (const std::exception& e) {
        return std::unexpected(databaseError(m_file, e));
    }
}

Result<bool> HistoryStore::deleteLast() {
    try {
        SQLite::Transaction tx(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
        const int n = m_db->exec("DELETE FROM Lishi WHERE SQQH = (SELECT max(SQQH) FROM Lishi)");
        tx.commit();
        return n > 0;
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
