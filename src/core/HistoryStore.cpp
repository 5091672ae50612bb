// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryStore.h"

#include "Platform.h"
#include "PredictionLog.h"
#include "SystemError.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

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

// The columns the snapshot reads, in the order it reads them.
constexpr const char* kDrawsIndex = "LishiDraws";
constexpr const char* kDrawsIndexColumns = "SQQH, QQH, strQQH, L1A, L2A, L3A, L1F, txtHisLst, txtHisPreLst";

bool hasDrawsIndex(SQLite::Database& db) {
    SQLite::Statement q(db, "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?");
    q.bind(1, kDrawsIndex);
    return q.executeStep();
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
           // What a snapshot reads of each row, in an index of its own: the engine reads it
           // instead of the 50-column rows, and keeps it in step with them on every write.
           "CREATE INDEX IF NOT EXISTS " +
           std::string(kDrawsIndex) + " ON Lishi (" + kDrawsIndexColumns +
           ");"
           "CREATE TABLE IF NOT EXISTS Carcu (Nmb INTEGER, Count INTEGER);"
           "CREATE TABLE IF NOT EXISTS Meta (key TEXT PRIMARY KEY NOT NULL, value TEXT);" +
           PredictionLog::schemaSql();
    return sql;
}

// The companionId the history is marked with; nothing when it has no mark yet.
std::optional<std::string> gameMarkIn(SQLite::Database& db) {
    if (!db.tableExists("Meta"))
        return std::nullopt;
    SQLite::Statement q(db, "SELECT value FROM Meta WHERE key = 'game'");
    if (!q.executeStep())
        return std::nullopt;
    return q.getColumn(0).getString();
}

Error otherGameError(const std::filesystem::path& file, const std::string& mark, Game wanted) {
    const auto marked = gameOfCompanionId(mark);
    if (!marked)
        return Error{ErrorCode::NotOurs, "数据库文件 " + shownPath(file) + " 标明的彩种“" + mark +
                                             "”本程序不认识，未作任何改动。"};
    return Error{ErrorCode::NotOurs,
                 "数据库文件 " + shownPath(file) + " 存的是" + std::string(displayName(*marked)) +
                     "的历史号码，不能作为" + std::string(displayName(wanted)) +
                     "的历史打开，未作任何改动。请把它移出数据文件夹（" + std::string(displayName(*marked)) +
                     "的历史应名为 " + databaseFileName(*marked) + "）。"};
}

std::filesystem::path folderOf(const std::filesystem::path& file) {
    auto folder = file.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

std::filesystem::path logOf(const std::filesystem::path& file) {
    auto log = file;
    log += "-wal";
    return log;
}

// A log with anything in it holds committed changes that the file alone does not show.
bool hasLog(const std::filesystem::path& file) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(logOf(file), ec);
    return !ec && size > 0;
}

std::string uriOf(const std::filesystem::path& file, const char* query) {
    // An absolute path gets an empty authority, so a path beginning with two slashes stays a path.
    std::string uri = file.is_absolute() ? "file://" : "file:";
    for (const char c : file.string()) {
        if (c == '?' || c == '#' || c == '%') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            uri += escaped;
        } else {
            uri += c;
        }
    }
    return uri + '?' + query;
}

std::string readOnlyReason(const std::filesystem::path& file) {
    const auto folder = folderOf(file);
    return canWrite(folder) ? "数据库文件只读：" + shownPath(file) : "数据文件夹只读：" + shownPath(folder);
}

// Whether the first bytes of `file` are those of the engine's files, give or take a few changed
// bits: its fixed title, or the three fixed bytes after the page size and versions.
bool looksLikeEngineFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::array<char, 24> head{};
    if (!in.read(head.data(), head.size()))
        return false;
    constexpr std::string_view kTitle{"SQLite format 3\0", 16};
    int differing = 0;
    for (std::size_t i = 0; i < kTitle.size(); ++i)
        differing += head[i] != kTitle[i];
    return differing <= 2 || (head[21] == 64 && head[22] == 32 && head[23] == 32);
}

// What a row whose digits are not three digits says of the file.
std::string digitFault(long long issue) {
    return "第 " + std::to_string(issue) + " 期存的号码不是三个 0～9 的数字";
}

// The engine's verdict on a damaged file runs over several lines; the last says what is wrong.
std::string lastLine(std::string text) {
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    const auto start = text.rfind('\n');
    return start == std::string::npos ? text : text.substr(start + 1);
}

} // namespace

Error damagedError(const std::filesystem::path& file, const std::string& detail) {
    // The engine's most common word for it, said in ours; any other stays as the engine put it.
    const std::string what =
        lastLine(detail) == "database disk image is malformed" ? "内容残缺或有误" : lastLine(detail);
    const Game game = gameOfDatabaseFile(file).value_or(Game::Fc3d);
    return Error{ErrorCode::Damaged, "数据库文件 " + shownPath(file) + " 已损坏（" + what +
                                         "），未作任何改动。可以从撤销备份、备份文件 " +
                                         rebuildBackupFileName(game) +
                                         " 或附带的样本恢复历史：在窗口里用“历史管理”菜单的“恢复历史…”，"
                                         "或运行 brenvik3d-cli restore 文件。"};
}

namespace {

// Whether the file is sound when its log is left out: then the log does not belong to it.
bool soundWithoutLog(const std::filesystem::path& file) {
    try {
        SQLite::Database alone(uriOf(file, "immutable=1"), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
        return alone.execAndGet("PRAGMA quick_check(1)").getString() == "ok";
    } catch (const std::exception&) {
        return false;
    }
}

Error failedCheck(const std::filesystem::path& file, const std::string& verdict) {
    if (hasLog(file) && soundWithoutLog(file))
        return Error{ErrorCode::Damaged, "数据库文件 " + shownPath(file) + " 与旁边的日志文件 " +
                                             shownPath(logOf(file).filename()) +
                                             " 不相符（日志可能是从别处复制来的），未作任何改动。"
                                             "请移走该日志文件，或换回一份完好的副本。"};
    return damagedError(file, verdict);
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

// The system's error behind the engine's last failure. The engine's own record of it is lost
// when what it does after the failure (rolling back) touches the system's error, so the log's
// and the database file's own last errors are asked too.
int systemErrorOf(sqlite3* db) {
    if (const int e = sqlite3_system_errno(db))
        return e;
    int e = 0;
    sqlite3_file* log = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &log) == SQLITE_OK && log &&
        log->pMethods && log->pMethods->xFileControl(log, SQLITE_FCNTL_LAST_ERRNO, &e) == SQLITE_OK && e)
        return e;
    e = 0;
    sqlite3_file_control(db, "main", SQLITE_FCNTL_LAST_ERRNO, &e);
    return e;
}

} // namespace

Error storageError(const std::filesystem::path& file, int code, sqlite3* db, const std::string& detail) {
    const int primary = code & 0xff;
    // Only these codes come from a failed system call; for the others the system's error is stale.
    const bool fromSystem = primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN || primary == SQLITE_FULL;
    const int sys = fromSystem && db ? systemErrorOf(db) : 0;
    if (primary == SQLITE_FULL || sys == ENOSPC || sys == EDQUOT || sys == EFBIG)
        return Error{ErrorCode::Full, "磁盘已满，无法写入数据库文件 " + shownPath(file) +
                                          "，历史未改动。请腾出磁盘空间后再试。"};
    if (code == SQLITE_READONLY_DBMOVED)
        return Error{ErrorCode::Io,
                     "数据库文件 " + shownPath(file) + " 已被移走或替换，历史未改动。请重新启动程序。"};
    if (primary == SQLITE_READONLY || primary == SQLITE_PERM || sys == EACCES || sys == EPERM || sys == EROFS)
        return Error{ErrorCode::ReadOnly, readOnlyReason(file) + "，不能修改历史号码。"};
    if (primary == SQLITE_CORRUPT)
        return damagedError(file, detail);
    // A header the engine does not take, where the file still reads as one of the engine's, is a
    // damaged one; another program's file (an old Jet database) is not ours.
    if ((primary == SQLITE_NOTADB || detail.find("unsupported file format") != std::string::npos) &&
        looksLikeEngineFile(file))
        return damagedError(file, otherErrorText(detail));
    if (primary == SQLITE_NOTADB)
        return Error{ErrorCode::NotOurs,
                     "文件 " + shownPath(file) + " 不是本程序的历史数据库，未作任何改动。"};
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return Error{ErrorCode::Busy, "数据库文件 " + shownPath(file) + " 正被其他程序使用，历史未改动。"};
    if (primary == SQLITE_CONSTRAINT)
        return Error{ErrorCode::Database, "要保存的期号已在历史中，历史未改动。"};
    if (primary == SQLITE_CANTOPEN && sys != 0)
        return Error{ErrorCode::Io, "无法打开数据库文件 " + shownPath(file) + "：" + systemErrorText(sys) +
                                        "，未作任何改动。"};
    if (primary == SQLITE_NOMEM)
        return Error{ErrorCode::Database, "数据库文件 " + shownPath(file) + " 操作失败：内存不足。"};
    return Error{ErrorCode::Database,
                 "数据库文件 " + shownPath(file) + " 操作失败：" + otherErrorText(detail)};
}

Error engineError(const std::filesystem::path& file, const std::exception& e, sqlite3* db) {
    const auto* engine = dynamic_cast<const SQLite::Exception*>(&e);
    if (!engine)
        return Error{ErrorCode::Database,
                     "数据库文件 " + shownPath(file) + " 操作失败：" + otherErrorText(e.what())};
    return storageError(file, engine->getExtendedErrorCode(), db, e.what());
}

namespace {

// What refused a change before the engine was asked (the change's keeper, or a file found
// damaged): it reaches the caller as it was said.
struct StoreRefusal : std::exception {
    explicit StoreRefusal(Error e) : error(std::move(e)) {}
    const char* what() const noexcept override { return error.message.c_str(); }
    Error error;
};

// A score is stamped with the moment its draw was first stored.
std::string utcNow() {
    return utcTimestamp(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

// Scores, for good, every logbook entry and play whose draw is stored now and that has no score yet.
void scoreDrawnPredictions(SQLite::Database& db) {
    PredictionLog::scoreDrawn(db, utcNow());
}

} // namespace

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

Error HistoryStore::failure(const std::exception& e) const {
    if (const auto* refused = dynamic_cast<const StoreRefusal*>(&e))
        return refused->error;
    Error error = engineError(m_file, e, m_db->getHandle());
    if (error.code == ErrorCode::ReadOnly && readOnly())
        error.message = m_readOnly;
    return error;
}

HistoryStore::HistoryStore(std::filesystem::path file, Game game, std::unique_ptr<SQLite::Database> db)
    : m_file(std::move(file)), m_game(game), m_db(std::move(db)) {}

HistoryStore::~HistoryStore() = default;

namespace {

std::filesystem::path indexOf(const std::filesystem::path& file) {
    auto index = file;
    index += "-shm";
    return index;
}

// What the engine must never be given: a pipe or a device named as the history (or as its log)
// would keep every program that opens it waiting, and a folder is no history either.
std::optional<Error> notAFile(const std::filesystem::path& file, const std::filesystem::path& shown) {
    const FileStatus status = fileStatus(shown);
    if (status.kind == FileKind::Missing || status.kind == FileKind::Regular)
        return std::nullopt;
    if (status.error != 0)
        return Error{ErrorCode::Io, "无法打开数据库文件 " + shownPath(file) + "：" +
                                        systemErrorText(status.error) + "，未作任何改动。"};
    const std::string what = shown == file
                                 ? "数据库文件 " + shownPath(file)
                                 : "数据库文件 " + shownPath(file) + " 旁边的 " + shownPath(shown.filename());
    return Error{ErrorCode::NotOurs,
                 what + " 是" + fileKindText(status.kind) + "，不是普通文件，未打开，未作任何改动。"};
}

std::optional<Error> refusedPath(const std::filesystem::path& file) {
    for (const auto& path : {file, logOf(file), indexOf(file)})
        if (auto refused = notAFile(file, path))
            return refused;
    // The engine turns a path longer than this into "unable to open database file".
    constexpr std::size_t kLongestPath = 511;
    if (std::error_code ec; std::filesystem::absolute(file, ec).native().size() > kLongestPath)
        return Error{ErrorCode::Io, "无法打开数据库文件 " + shownPath(file) + "：" +
                                        causeText(SystemCause::NameTooLong) + "，未作任何改动。"};
    return std::nullopt;
}

std::unique_ptr<SQLite::Database> openedConnection(std::unique_ptr<SQLite::Database> db) {
    // Until the whole file has passed its check, closing must not fold a log into it: a log that
    // does not belong to the file, or a damaged file, would be written into for good.
    sqlite3_db_config(db->getHandle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    db->setBusyTimeout(3000);
    return db;
}

// One connection, used by one thread: the engine need not lock around every call.
std::unique_ptr<SQLite::Database> writingConnection(const std::filesystem::path& file, bool create) {
    return openedConnection(std::make_unique<SQLite::Database>(
        file.string(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0)));
}

// Reading a file with a log needs the log's index beside it, which another program at work keeps
// there; a file without a log is read as it lies, with no log, index or lock made beside it.
std::unique_ptr<SQLite::Database> readingConnection(const std::filesystem::path& file, bool log) {
    return openedConnection(
        std::make_unique<SQLite::Database>(uriOf(file, log ? "mode=ro" : "immutable=1"),
                                           SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX));
}

std::string fullDiskReason(const std::filesystem::path& file) {
    return "磁盘已满：" + shownPath(folderOf(file));
}

// The first fault of the whole file, in the engine's words or ours; empty when it has none.
// The engine's check reads every page and every index entry against its row; a digit is ours to
// check, as nothing in the file's own rules keeps it within 0 to 9.
std::string faultIn(SQLite::Database& db) {
    if (std::string verdict = db.execAndGet("PRAGMA integrity_check(1)").getString(); verdict != "ok")
        return verdict;
    if (!db.tableExists("Lishi"))
        return {};
    std::string digitTest;
    for (const char* column : {"L1A", "L2A", "L3A"})
        digitTest += std::string(digitTest.empty() ? "" : " AND ") + "typeof(" + column +
                     ") = 'integer' AND " + column + " BETWEEN 0 AND 9";
    SQLite::Statement q(db, "SELECT SQQH FROM Lishi WHERE NOT (" + digitTest + ") LIMIT 1");
    if (q.executeStep())
        return digitFault(q.getColumn(0).getInt64());
    return {};
}

} // namespace

Result<std::unique_ptr<HistoryStore>> HistoryStore::open(const std::filesystem::path& file, Game game,
                                                         Access access) {
    if (auto refused = refusedPath(file))
        return std::unexpected(*refused);
    auto opened = openAs(file, game, access, {});
    // A log's index that cannot be made is the first thing a full disk refuses; the history can
    // still be read.
    if (!opened && opened.error().code == ErrorCode::Full && access == Access::Change &&
        fileStatus(file).kind == FileKind::Regular)
        return openAs(file, game, access, fullDiskReason(file));
    return opened;
}

Result<std::unique_ptr<HistoryStore>> HistoryStore::openAs(const std::filesystem::path& file, Game game,
                                                           Access access, std::string readOnly) {
    std::error_code ec;
    const bool exists = fileStatus(file).kind == FileKind::Regular;
    const bool emptyFile = exists && std::filesystem::file_size(file, ec) == 0 && !ec;
    if (access == Access::Read && !exists)
        return fail(ErrorCode::Io,
                    "没有历史数据库 " + shownPath(file) +
                        "，未作任何改动。请先导入历史号码（brenvik3d-cli import 文件），或打开窗口一次。");
    ErrorCode readOnlyCode = ErrorCode::ReadOnly;
    if (!readOnly.empty())
        readOnlyCode = ErrorCode::Full;
    else if (access == Access::Read)
        readOnly = "历史数据库 " + shownPath(file) + " 只为读取而打开";
    else if (!canWrite(folderOf(file)) || (exists && !canWrite(file)))
        readOnly = readOnlyReason(file);
    else if (diskFull(folderOf(file)))
        readOnly = fullDiskReason(file), readOnlyCode = ErrorCode::Full;
    const bool writable = readOnly.empty();
    if (!writable && !exists) {
        if (!std::filesystem::is_directory(folderOf(file), ec))
            return fail(ErrorCode::Io,
                        "数据文件夹 " + shownPath(folderOf(file)) + " 不存在，无法建立历史数据库。");
        return fail(readOnlyCode, readOnly + "，无法建立历史数据库。");
    }
    const bool log = hasLog(file);
    std::unique_ptr<SQLite::Database> db;
    auto openError = [&](const std::exception& e) {
        if (const auto* refused = dynamic_cast<const StoreRefusal*>(&e))
            return refused->error;
        const auto* engine = dynamic_cast<const SQLite::Exception*>(&e);
        const int code = engine ? engine->getExtendedErrorCode() : SQLITE_ERROR;
        if (!writable && log && (code & 0xff) == SQLITE_CANTOPEN)
            return Error{ErrorCode::ReadOnly,
                         readOnly + "，旁边的日志文件 " + shownPath(logOf(file).filename()) +
                             " 无法并入，历史无法读取。请把数据文件夹复制到可写的位置后再打开。"};
        return storageError(file, code, db ? db->getHandle() : nullptr, e.what());
    };
    try {
        // An existing file is first read as it lies (or through the log another program keeps
        // beside it): nothing is made beside it until it has passed its check and may be written.
        // A file read as it lies is read again should it change meanwhile.
        const std::string identity = exists && !log ? fileIdentity(file) : std::string();
        db = exists ? readingConnection(file, log) : writingConnection(file, true);

        // Read the header before anything is written: a file of someone else must stay as it is.
        const int appId = db->execAndGet("PRAGMA application_id").getInt();
        const int version = db->execAndGet("PRAGMA user_version").getInt();
        const int objects = db->execAndGet("SELECT count(*) FROM sqlite_master").getInt();
        const bool fresh = appId == 0 && objects == 0;
        if (!fresh && appId != kApplicationId)
            return fail(ErrorCode::NotOurs,
                        "文件 " + shownPath(file) + " 不是本程序的历史数据库，未作任何改动。");
        if (version > kSchemaVersion)
            return fail(ErrorCode::NotOurs,
                        "数据库文件 " + shownPath(file) + " 由较新版本的程序创建，本版本无法使用。");
        // Every page the engine reads is checked in full as it is read, so a damaged page is found
        // before anything is written to it or read from it.
        db->exec("PRAGMA cell_size_check=ON");
        // A log with something in it is left by a writer that did not finish (a crash, a power
        // cut, or a program still at work), or was copied from elsewhere: then the whole file is
        // checked, before any write. A file without one is checked whole before its first change.
        if (log)
            if (const std::string verdict = db->execAndGet("PRAGMA quick_check(1)").getString();
                verdict != "ok")
                return std::unexpected(failedCheck(file, verdict));

        // The other game's history is refused before anything is written to it.
        const std::string wanted(companionId(game));
        const auto mark = gameMarkIn(*db);
        if (mark && *mark != wanted)
            return std::unexpected(otherGameError(file, *mark, game));
        // A complete database of ours is opened without writing anything.
        const bool tables = !fresh && db->tableExists("Lishi") && db->tableExists("Carcu");
        const bool current = tables && mark && version == kSchemaVersion;
        // A history written before the snapshot's index existed gets it, once.
        const bool complete = current && hasDrawsIndex(*db);
        if (!complete && !writable && !tables) {
            if (access == Access::Read && canWrite(folderOf(file)))
                return fail(ErrorCode::Empty,
                            "数据库文件 " + shownPath(file) +
                                (emptyFile ? " 是 0 字节的空文件" : " 里还没有历史号码的表") +
                                "，没有可读的历史号码。打开窗口或运行一次修改历史的命令（如 brenvik3d-cli "
                                "import 文件），程序会建好它，未作任何改动。");
            return fail(readOnlyCode, readOnly + "，无法建立历史数据库。");
        }
        // A reader cannot mark or complete a history; in a folder where that can be done, it is
        // left to the program that changes the history, which marks it with the right game.
        if (!current && access == Access::Read && canWrite(folderOf(file)) && canWrite(file))
            return fail(ErrorCode::Invalid,
                        "历史数据库 " + shownPath(file) +
                            " 是旧版本的程序写的，要先升级才能读取，未作任何改动。请打开窗口一次，"
                            "或运行一次修改历史的命令（如 brenvik3d-cli update），程序会升级它。");
        Verdict verdict = fresh ? Verdict::Sound : Verdict::Unchecked;
        bool dbWritable = !exists;
        // An unmarked history that may only be read is read as the game asked for.
        if (!complete && writable) {
            // An upgrade is the first write: a damaged file is refused before it.
            if (!fresh) {
                if (const std::string fault = faultIn(*db); !fault.empty())
                    return std::unexpected(failedCheck(file, fault));
                verdict = Verdict::Sound;
            }
            if (!dbWritable) {
                db = writingConnection(file, false);
                dbWritable = true;
            }
            if (fresh)
                db->exec("PRAGMA page_size=" + std::to_string(kHistoryPageSize));
            db->exec("PRAGMA journal_mode=WAL");
            SQLite::Transaction tx(*db, SQLite::TransactionBehavior::IMMEDIATE);
            db->exec(schemaSql());
            // Another program may have marked it since it was read above; its mark stands.
            SQLite::Statement markIt(*db, "INSERT OR IGNORE INTO Meta (key, value) VALUES ('game', ?)");
            markIt.bind(1, wanted);
            markIt.exec();
            if (const auto now = gameMarkIn(*db); now != wanted)
                return std::unexpected(otherGameError(file, now.value_or(""), game));
            // Entries of an earlier version were scored against the draws as they stand; those
            // scores are what the logbook showed, and from now on they stay.
            scoreDrawnPredictions(*db);
            db->exec("PRAGMA application_id=" + std::to_string(kApplicationId));
            db->exec("PRAGMA user_version=" + std::to_string(kSchemaVersion));
            tx.commit();
        }
        if (dbWritable)
            db->exec("PRAGMA synchronous=FULL");
        std::unique_ptr<HistoryStore> store(new HistoryStore(file, game, std::move(db)));
        store->m_changeable = writable;
        store->m_dbWritable = dbWritable;
        store->m_readerUri = uriOf(file, dbWritable || log ? "mode=ro" : "immutable=1");
        store->m_identity = dbWritable ? std::string() : identity;
        if (verdict == Verdict::Sound)
            store->acceptCheck({});
        if (!writable) {
            store->m_readOnly = readOnly + "，不能修改历史号码。";
            store->m_notice = readOnly + "，历史号码只能查看、检索和导出，不能修改。";
            store->m_readOnlyCode = readOnlyCode;
            if (readOnlyCode == ErrorCode::Full)
                store->m_readOnly += "请腾出磁盘空间后再试。";
        } else if (fresh && emptyFile) {
            store->m_notice = "数据库文件 " + shownPath(file) +
                              " 原是 0 字节的空文件，已建为新的空历史。若原有历史号码，请换回备份的副本，"
                              "或读入备份文件 " +
                              std::string(rebuildBackupFileName(game)) + "。";
        }
        return store;
    } catch (const std::exception& e) {
        return std::unexpected(openError(e));
    }
}

std::string readerUriOf(const std::filesystem::path& file) {
    return uriOf(file, hasLog(file) ? "mode=ro" : "immutable=1");
}

namespace {

// Opens a reading connection on `uri`, passes it to `check`, and words what the engine threw.
Result<void> checkWith(const std::filesystem::path& file, const std::string& uri,
                       const std::function<Result<void>(SQLite::Database&)>& check) {
    try {
        SQLite::Database db(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX);
        db.setBusyTimeout(3000);
        return check(db);
    } catch (const std::exception& e) {
        return std::unexpected(engineError(file, e, nullptr));
    }
}

Result<void> verdictOf(const std::filesystem::path& file, SQLite::Database& db) {
    if (const std::string fault = faultIn(db); !fault.empty())
        return std::unexpected(failedCheck(file, fault));
    return {};
}

Result<void> checkThrough(const std::filesystem::path& file, const std::string& uri) {
    return checkWith(file, uri, [&](SQLite::Database& db) { return verdictOf(file, db); });
}

} // namespace

Result<void> HistoryStore::checkFile(const std::filesystem::path& file) {
    if (auto refused = refusedPath(file))
        return std::unexpected(*refused);
    if (fileStatus(file).kind == FileKind::Missing)
        return fail(ErrorCode::Io, "没有历史数据库 " + shownPath(file) + "。");
    return checkWith(file, readerUriOf(file), [&](SQLite::Database& db) -> Result<void> {
        if (db.execAndGet("PRAGMA application_id").getInt() != kApplicationId) {
            if (db.execAndGet("SELECT count(*) FROM sqlite_master").getInt() == 0)
                return fail(ErrorCode::Empty, "数据库文件 " + shownPath(file) + " 里还没有历史号码。");
            return fail(ErrorCode::NotOurs,
                        "文件 " + shownPath(file) + " 不是本程序的历史数据库，未作任何改动。");
        }
        return verdictOf(file, db);
    });
}

Result<void> HistoryStore::checkWhole() const {
    // Through this connection: a second one would first read the file's schema again.
    try {
        return verdictOf(m_file, *m_db);
    } catch (const std::exception& e) {
        return std::unexpected(engineError(m_file, e, nullptr));
    }
}

std::function<Result<void>()> HistoryStore::checkTask() const {
    return [file = m_file, uri = m_readerUri] { return checkThrough(file, uri); };
}

void HistoryStore::acceptCheck(const Result<void>& verdict) {
    m_verdict = verdict ? Verdict::Sound : Verdict::Damaged;
    m_damage = verdict ? Error{} : verdict.error();
    if (m_verdict != Verdict::Sound)
        return;
    if (m_changeable && !m_dbWritable)
        becomeWritable();
    // Only a sound file may have its log folded in when it closes.
    if (m_dbWritable)
        sqlite3_db_config(m_db->getHandle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
}

void HistoryStore::becomeWritable() {
    std::unique_ptr<SQLite::Database> db;
    try {
        db = writingConnection(m_file, false);
        db->exec("PRAGMA cell_size_check=ON");
        // The first read makes the log and its index, where a full disk shows.
        db->execAndGet("PRAGMA application_id");
        db->exec("PRAGMA synchronous=FULL");
    } catch (const std::exception& e) {
        const Error error = engineError(m_file, e, db ? db->getHandle() : nullptr);
        m_readOnlyCode = error.code == ErrorCode::Full ? ErrorCode::Full : ErrorCode::ReadOnly;
        m_readOnly = error.code == ErrorCode::Full
                         ? fullDiskReason(m_file) + "，不能修改历史号码。请腾出磁盘空间后再试。"
                         : error.message;
        return;
    }
    m_db = std::move(db);
    m_dbWritable = true;
    m_readerUri = uriOf(m_file, "mode=ro");
    m_identity.clear();
}

Result<void> HistoryStore::requireSound() {
    if (m_verdict == Verdict::Unchecked)
        acceptCheck(checkWhole());
    if (m_verdict == Verdict::Damaged)
        return std::unexpected(m_damage);
    return {};
}

Result<void> HistoryStore::requireWritable() {
    if (auto sound = requireSound(); !sound)
        return sound;
    if (readOnly())
        return fail(m_readOnlyCode, m_readOnly);
    return {};
}

Result<void> HistoryStore::unchangedSinceOpened() const {
    if (m_identity.empty() || fileIdentity(m_file) == m_identity)
        return {};
    return fail(ErrorCode::Busy, "数据库文件 " + shownPath(m_file) +
                                     " 在读取时被另一个程序改动了，未作任何改动。请再试一次。");
}

Result<std::optional<Game>> HistoryStore::markOf(const std::filesystem::path& file) {
    const auto notOurs = [&] {
        return fail(ErrorCode::NotOurs,
                    "文件 " + shownPath(file) + " 不是本程序的历史数据库，未作任何改动。");
    };
    if (auto refused = refusedPath(file))
        return std::unexpected(*refused);
    try {
        // Without a log the file is read as it lies: a reading connection would leave a log and
        // its index behind, and the file could not be renamed alone.
        std::error_code ec;
        const bool log = std::filesystem::exists(logOf(file), ec);
        SQLite::Database db(uriOf(file, log ? "mode=ro" : "immutable=1"),
                            SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
        db.setBusyTimeout(3000);
        if (db.execAndGet("PRAGMA application_id").getInt() != kApplicationId)
            return notOurs();
        const int version = db.execAndGet("PRAGMA user_version").getInt();
        if (version > kSchemaVersion)
            return notOurs();
        const auto mark = gameMarkIn(db);
        if (!mark)
            return std::nullopt;
        if (const auto game = gameOfCompanionId(*mark))
            return *game;
        return std::unexpected(otherGameError(file, *mark, Game::Fc3d));
    } catch (const std::exception& e) {
        return std::unexpected(engineError(file, e, nullptr));
    }
}

namespace {

// A row of the draw columns as selected by "SELECT <joinedColumns()>".
DrawRow readRow(sqlite3_stmt* st) {
    auto text = [st](int column) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(st, column))) : std::string();
    };
    auto codes = [st](int start) {
        DrawCodes c{};
        for (int p = 0; p < kPositions; ++p)
            for (int k = 0; k < kKindCount; ++k)
                c[p][k] = static_cast<std::int16_t>(sqlite3_column_int(st, start + p * kKindCount + k));
        return c;
    };
    DrawRow r;
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
    return r;
}

// The stored issues' range, found without reading the rows between.
struct IssueRange {
    long long first = 0, last = -1;
};

IssueRange issueRange(SQLite::Database& db) {
    // Each in a query of its own: the engine finds a lone min() or max() of the key at one end
    // of the table, but reads the whole table for the two together.
    SQLite::Statement range(db, "SELECT (SELECT min(SQQH) FROM Lishi), (SELECT max(SQQH) FROM Lishi)");
    if (!range.executeStep() || range.getColumn(0).isNull())
        return {};
    return {range.getColumn(0).getInt64(), range.getColumn(1).getInt64()};
}

// At most how many draws the history holds, found without reading its rows (counting them reads
// every page of the table, an eighth of the time of loading a snapshot). The issues are unique,
// so there are no more rows than their range holds, and none takes less of the file than the
// header of its record, which gives the type of each of its 50 columns. Room kept for rows that
// are not there is never written, so it costs address space, not memory.
std::size_t rowsAtMost(SQLite::Database& db, const IssueRange& range) {
    constexpr long long kLeastRowBytes = kDrawColumnCount;
    const long long bytes =
        db.execAndGet("PRAGMA page_count").getInt64() * db.execAndGet("PRAGMA page_size").getInt64();
    return static_cast<std::size_t>(
        std::max(0LL, std::min(range.last - range.first + 1, bytes / kLeastRowBytes)));
}

std::size_t rowsAtMost(SQLite::Database& db) {
    return rowsAtMost(db, issueRange(db));
}

// One row as a snapshot reads it, from the index of the loaded columns, in 20 bytes: the later
// part of a large history waits in these until the earlier part is built. A digit out of range
// and a segment parameter the program never writes are kept as -1; a digits text longer than
// three characters keeps its first four, enough to see that it names no draw.
struct IndexedRow {
    std::int32_t issue = 0;
    std::array<std::int8_t, 3> digits{};
    std::int8_t segmentParam = -1;
    bool follows = false;   // QQH is the issue after
    bool issueText = false; // strQQH holds a text
    std::uint8_t lastSize = 0, preSize = 0;
    std::array<char, 4> last{}, pre{};

    std::string_view lastDigits() const { return {last.data(), lastSize}; }
    std::string_view preDigits() const { return {pre.data(), preSize}; }
};
static_assert(sizeof(IndexedRow) == 20);

constexpr const char* kIndexedColumns =
    "SELECT SQQH, QQH, strQQH, L1A, L2A, L3A, L1F, txtHisLst, txtHisPreLst FROM Lishi";

// Read through the engine's own column calls: this runs once per stored draw.
IndexedRow indexedRow(sqlite3_stmt* st) {
    IndexedRow r;
    r.issue = sqlite3_column_int(st, 0);
    r.follows = sqlite3_column_int64(st, 1) == static_cast<std::int64_t>(r.issue) + 1;
    r.issueText = sqlite3_column_bytes(st, 2) > 0;
    for (int p = 0; p < kPositions; ++p) {
        const int d = sqlite3_column_int(st, 3 + p);
        r.digits[static_cast<std::size_t>(p)] = static_cast<std::int8_t>(d >= 0 && d <= 9 ? d : -1);
    }
    if (const int param = sqlite3_column_int(st, 6) - r.digits[0] / 2;
        r.digits[0] >= 0 && (param == 0 || param == 1))
        r.segmentParam = static_cast<std::int8_t>(param);
    auto text = [st](int column, std::array<char, 4>& into, std::uint8_t& size) {
        const auto* p = sqlite3_column_text(st, column);
        const auto bytes = static_cast<std::size_t>(sqlite3_column_bytes(st, column));
        size = static_cast<std::uint8_t>(std::min(bytes, into.size()));
        if (p)
            std::copy_n(p, size, into.begin());
    };
    text(7, r.last, r.lastSize);
    text(8, r.pre, r.preSize);
    return r;
}

// The codes of a row written with one segment parameter; nothing for any other row.
std::optional<DrawCodes> codesOf(const IndexedRow& r) {
    if (r.segmentParam < 0 || std::ranges::any_of(r.digits, [](std::int8_t d) { return d < 0; }))
        return std::nullopt;
    return codesOfDraw({r.digits[0], r.digits[1], r.digits[2]}, r.segmentParam);
}

// Builds a snapshot from rows in issue order. The snapshot makes a row's codes from its digits
// and the segment parameter it was written with, and its codes and texts of the draws before it
// from the rows before it. So only the digits, one segment code and the digits texts are read,
// to see that the row names the draws before it as the program writes it. A row that does not,
// and the first two rows, are read whole.
class SnapshotLoader {
public:
    SnapshotLoader(sqlite3* db, const std::filesystem::path& file, std::size_t expected)
        : m_db(db), m_file(file), m_builder(expected) {}

    void add(const IndexedRow& r) {
        if (std::ranges::any_of(r.digits, [](std::int8_t d) { return d < 0; }))
            throw StoreRefusal(damagedError(m_file, digitFault(r.issue)));
        const auto own = codesOf(r);
        if (own && r.follows && !r.issueText &&
            m_builder.addFollowing(r.issue, *own, r.lastDigits(), r.preDigits()))
            return;
        if (!m_whole)
            m_whole = prepare(m_db, "SELECT " + joinedColumns() + " FROM Lishi WHERE SQQH = ?");
        sqlite3_bind_int(m_whole.get(), 1, r.issue);
        if (const int found = sqlite3_step(m_whole.get()); found != SQLITE_ROW)
            throw SQLite::Exception(m_db, found == SQLITE_DONE ? SQLITE_CORRUPT : found);
        m_builder.add(readRow(m_whole.get()));
        sqlite3_reset(m_whole.get());
    }

    // Adds the rows `statement` steps through.
    void addAll(sqlite3_stmt* statement) {
        int step;
        while ((step = sqlite3_step(statement)) == SQLITE_ROW)
            add(indexedRow(statement));
        if (step != SQLITE_DONE)
            throw SQLite::Exception(m_db, step);
    }

    SnapshotPtr finish() { return m_builder.finish(); }

private:
    sqlite3* m_db;
    const std::filesystem::path& m_file;
    HistorySnapshot::Builder m_builder;
    StatementPtr m_whole{nullptr, &sqlite3_finalize};
};

// How many other connections' changes this connection has seen committed.
long long dataVersion(SQLite::Database& db) {
    return db.execAndGet("PRAGMA data_version").getInt64();
}

} // namespace

Result<SnapshotPtr> HistoryStore::loadSnapshot() const {
    return loadSnapshot(kSplitLoadFrom);
}

// A large history is read in two parts at once, the later one by a connection of its own on
// another thread while this one reads and builds the earlier part, then builds the later one.
// The two read the same history when no other connection committed a change from before the
// first read to after the last; when one did, the history is read again by one connection.
Result<SnapshotPtr> HistoryStore::loadSnapshot(std::size_t splitFrom) const {
    try {
        sqlite3* db = m_db->getHandle();
        const IssueRange range = issueRange(*m_db);
        const std::size_t expected = rowsAtMost(*m_db, range);
        // Inside a transaction of this connection, only this connection sees what it holds.
        if (expected < std::max<std::size_t>(splitFrom, 2) || !sqlite3_get_autocommit(db)) {
            SnapshotLoader loader(db, m_file, expected);
            loader.addAll(prepare(db, std::string(kIndexedColumns) + " ORDER BY SQQH").get());
            SnapshotPtr snapshot = loader.finish();
            if (auto unchanged = unchangedSinceOpened(); !unchanged)
                return std::unexpected(unchanged.error());
            return snapshot;
        }
        const long long version = dataVersion(*m_db);
        // This thread also builds the later part, so it reads the smaller one.
        const long long split = range.first + (range.last - range.first + 1) * 2 / 5;
        std::vector<IndexedRow> later;
        bool laterFailed = false;
        const auto readLater = [&] {
            try {
                SQLite::Database other(m_readerUri,
                                       SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX);
                other.setBusyTimeout(3000);
                other.exec("PRAGMA cell_size_check=ON");
                later.reserve(expected - expected * 2 / 5);
                StatementPtr q = prepare(other.getHandle(),
                                         std::string(kIndexedColumns) + " WHERE SQQH >= ? ORDER BY SQQH");
                sqlite3_bind_int64(q.get(), 1, split);
                int step;
                while ((step = sqlite3_step(q.get())) == SQLITE_ROW)
                    later.push_back(indexedRow(q.get()));
                if (step != SQLITE_DONE)
                    throw SQLite::Exception(other.getHandle(), step);
            } catch (const std::exception&) {
                laterFailed = true;
            }
        };
        std::thread reader;
        try {
            reader = std::thread(readLater);
        } catch (const std::system_error&) { // no thread to be had: one connection reads it all
            return loadSnapshot(std::numeric_limits<std::size_t>::max());
        }
        SnapshotLoader loader(db, m_file, expected);
        try {
            StatementPtr q = prepare(db, std::string(kIndexedColumns) + " WHERE SQQH < ? ORDER BY SQQH");
            sqlite3_bind_int64(q.get(), 1, split);
            loader.addAll(q.get());
        } catch (...) {
            reader.join();
            throw;
        }
        reader.join();
        // The second connection may be refused where the first was not; the first reads it all
        // then, and says what is wrong if anything is.
        if (laterFailed)
            return loadSnapshot(std::numeric_limits<std::size_t>::max());
        for (const IndexedRow& r : later)
            loader.add(r);
        if (dataVersion(*m_db) != version)
            return loadSnapshot(std::numeric_limits<std::size_t>::max());
        SnapshotPtr snapshot = loader.finish();
        if (auto unchanged = unchangedSinceOpened(); !unchanged)
            return std::unexpected(unchanged.error());
        return snapshot;
    } catch (const std::exception& e) {
        return std::unexpected(failure(e));
    }
}

Result<std::vector<DrawLine>> HistoryStore::loadDraws() const {
    try {
        sqlite3* db = m_db->getHandle();
        std::vector<DrawLine> draws;
        draws.reserve(rowsAtMost(*m_db));
        StatementPtr q = prepare(db, "SELECT SQQH, L1A, L2A, L3A FROM Lishi ORDER BY SQQH");
        int step;
        while ((step = sqlite3_step(q.get())) == SQLITE_ROW) {
            DrawLine& d = draws.emplace_back();
            d.issue = sqlite3_column_int(q.get(), 0);
            for (int p = 0; p < kPositions; ++p) {
                const int digit = sqlite3_column_int(q.get(), 1 + p);
                if (digit < 0 || digit > 9 || sqlite3_column_type(q.get(), 1 + p) != SQLITE_INTEGER)
                    throw StoreRefusal(damagedError(m_file, digitFault(d.issue)));
                d.digits[static_cast<std::size_t>(p)] = digit;
            }
        }
        if (step != SQLITE_DONE)
            throw SQLite::Exception(db, step);
        if (auto unchanged = unchangedSinceOpened(); !unchanged)
            return std::unexpected(unchanged.error());
        return draws;
    } catch (const std::exception& e) {
        return std::unexpected(failure(e));
    }
}

std::optional<DrawRow> HistoryStore::readLastRow() const {
    StatementPtr q =
        prepare(m_db->getHandle(), "SELECT " + joinedColumns() + " FROM Lishi ORDER BY SQQH DESC LIMIT 1");
    const int step = sqlite3_step(q.get());
    if (step == SQLITE_ROW)
        return readRow(q.get());
    if (step != SQLITE_DONE)
        throw SQLite::Exception(m_db->getHandle(), step);
    return std::nullopt;
}

Result<std::optional<DrawRow>> HistoryStore::lastRow() const {
    try {
        return readLastRow();
    } catch (const std::exception& e) {
        return std::unexpected(failure(e));
    }
}

namespace {

// The draw of a row of "SELECT SQQH, L1A, L2A, L3A"; nothing when a digit is outside 0-9, which
// no writer stores: the file is damaged.
std::optional<DrawLine> drawOfRow(sqlite3_stmt* q) {
    DrawLine d{sqlite3_column_int(q, 0), {}};
    for (int p = 0; p < kPositions; ++p) {
        const int digit = sqlite3_column_int(q, p + 1);
        if (digit < 0 || digit > 9)
            return std::nullopt;
        d.digits[static_cast<std::size_t>(p)] = digit;
    }
    return d;
}

} // namespace

Result<long long> HistoryStore::forEachDraw(const std::function<bool(const DrawLine&)>& take) const {
    try {
        sqlite3* db = m_db->getHandle();
        StatementPtr q = prepare(db, "SELECT SQQH, L1A, L2A, L3A FROM Lishi ORDER BY SQQH");
        long long handed = 0;
        int step;
        while ((step = sqlite3_step(q.get())) == SQLITE_ROW) {
            const auto draw = drawOfRow(q.get());
            if (!draw)
                return std::unexpected(damagedError(m_file, "存有不是 0～9 的号码"));
            ++handed;
            if (!take(*draw))
                return handed;
        }
        if (step != SQLITE_DONE)
            throw SQLite::Exception(db, step);
        return handed;
    } catch (const std::exception& e) {
        return std::unexpected(failure(e));
    }
}

Result<std::vector<DrawLine>> HistoryStore::loadLastDraws(std::size_t count) const {
    try {
        sqlite3* db = m_db->getHandle();
        std::vector<DrawLine> draws;
        StatementPtr q = prepare(db, "SELECT SQQH, L1A, L2A, L3A FROM Lishi ORDER BY SQQH DESC LIMIT ?");
        sqlite3_bind_int64(q.get(), 1, static_cast<sqlite3_int64>(std::min<std::size_t>(count, INT64_MAX)));
        int step;
        while ((step = sqlite3_step(q.get())) == SQLITE_ROW) {
            const auto draw = drawOfRow(q.get());
            if (!draw)
                return std::unexpected(damagedError(m_file, "存有不是 0～9 的号码"));
            draws.push_back(*draw);
        }
        if (step != SQLITE_DONE)
            throw SQLite::Exception(db, step);
        std::ranges::reverse(draws);
        return draws;
    } catch (const std::exception& e) {
        return std::unexpected(failure(e));
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

Result<std::string> HistoryStore::changeMark() const {
    try {
        if (!m_db->tableExists("Meta"))
            return std::string();
        SQLite::Statement q(*m_db, "SELECT value FROM Meta WHERE key = 'undo'");
        return q.executeStep() ? q.getColumn(0).getString() : std::string();
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

Result<std::vector<std::pair<int, int>>> HistoryStore::readTally() const {
    try {
        std::vector<std::pair<int, int>> rows;
        SQLite::Statement q(*m_db, "SELECT Nmb, Count FROM Carcu ORDER BY rowid");
        while (q.executeStep())
            rows.emplace_back(q.getColumn(0).getInt(), q.getColumn(1).getInt());
        return rows;
    } catch (const std::exception& e) {
        return std::unexpected(failure(e));
    }
}

Result<std::optional<std::string>> HistoryStore::meta(const std::string& key) const {
    try {
        // A history of the first version, open for reading only, has no such table.
        if (!m_db->tableExists("Meta"))
            return std::nullopt;
        SQLite::Statement q(*m_db, "SELECT value FROM Meta WHERE key = ?");
        q.bind(1, key);
        if (!q.executeStep() || q.getColumn(0).isNull())
            return std::nullopt;
        return q.getColumn(0).getString();
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
