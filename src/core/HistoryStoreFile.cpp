// SPDX-License-Identifier: GPL-3.0-or-later
// The history file and its format: the tables, the files beside the database, opening and
// upgrading, and what the engine's failures say to the user.
#include "HistoryStore.h"
#include "HistoryStoreParts.h"

#include "FileSeal.h"
#include "Platform.h"
#include "PredictionLog.h"
#include "SystemError.h"

#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>

namespace brenvik {

using namespace storage;

namespace storage {

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

std::filesystem::path indexOf(const std::filesystem::path& file) {
    auto index = file;
    index += "-shm";
    return index;
}

StatementPtr prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        throw SQLite::Exception(db, sqlite3_errcode(db));
    return StatementPtr(raw, &sqlite3_finalize);
}

} // namespace storage

namespace {

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
    // Whatever lies at a history's own place and is no database of the engine (zeros, text, a
    // picture, a file cut short) is what is left of a history: damaged, to be restored. Elsewhere
    // a file that still reads as one of the engine's is a damaged one; another program's file (an
    // old Jet database) is not ours.
    if ((primary == SQLITE_NOTADB || detail.find("unsupported file format") != std::string::npos) &&
        (atHistoryPlace(file) || looksLikeEngineFile(file)))
        return damagedError(file, detail);
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

Error HistoryStore::failure(const std::exception& e) const {
    // A file read as it lies that another program changed meanwhile may read as anything: that
    // is said, and never called damage.
    if (auto unchanged = unchangedSinceOpened(); !unchanged)
        return unchanged.error();
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

namespace storage {

bool changedJustNow(const std::filesystem::path& file) {
    std::error_code ec;
    const auto changed = std::filesystem::last_write_time(file, ec);
    return ec || std::filesystem::file_time_type::clock::now() - changed < std::chrono::seconds(1);
}

bool atHistoryPlace(const std::filesystem::path& file) {
    return gameOfDatabaseFile(file).has_value();
}

Error changedWhileRead(const std::filesystem::path& file) {
    return Error{ErrorCode::Busy,
                 "数据库文件 " + shownPath(file) + " 在读取时被另一个程序改动了，未作任何改动。请再试一次。"};
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

} // namespace storage

namespace {

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

} // namespace

std::optional<Error> HistoryStore::unopenable(const std::filesystem::path& file) {
    return refusedPath(file);
}

Result<std::unique_ptr<HistoryStore>> HistoryStore::open(const std::filesystem::path& file, Game game,
                                                         Access access, Proof proof) {
    if (auto refused = refusedPath(file))
        return std::unexpected(*refused);
    auto opened = openAs(file, game, access, proof, {});
    // A log's index that cannot be made is the first thing a full disk refuses; the history can
    // still be read.
    if (!opened && opened.error().code == ErrorCode::Full && access == Access::Change &&
        fileStatus(file).kind == FileKind::Regular)
        return openAs(file, game, access, proof, fullDiskReason(file));
    return opened;
}

Result<std::unique_ptr<HistoryStore>> HistoryStore::openAs(const std::filesystem::path& file, Game game,
                                                           Access access, Proof proof, std::string readOnly) {
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
    // An existing file is first read as it lies (or through the log another program keeps
    // beside it): nothing is made beside it until it has passed its check and may be written.
    // A file read as it lies is read again should it change meanwhile.
    const std::string identity = exists && !log ? fileIdentity(file) : std::string();
    std::unique_ptr<SQLite::Database> db;
    auto openError = [&](const std::exception& e) {
        if (const auto* refused = dynamic_cast<const StoreRefusal*>(&e))
            return refused->error;
        if (!identity.empty() && fileIdentity(file) != identity)
            return changedWhileRead(file);
        const auto* engine = dynamic_cast<const SQLite::Exception*>(&e);
        const int code = engine ? engine->getExtendedErrorCode() : SQLITE_ERROR;
        if (!writable && log && (code & 0xff) == SQLITE_CANTOPEN)
            return Error{ErrorCode::ReadOnly,
                         readOnly + "，旁边的日志文件 " + shownPath(logOf(file).filename()) +
                             " 无法并入，历史无法读取。请把数据文件夹复制到可写的位置后再打开。"};
        return storageError(file, code, db ? db->getHandle() : nullptr, e.what());
    };
    try {
        db = exists ? readingConnection(file, log) : writingConnection(file, true);

        // Read the header before anything is written: a file of someone else must stay as it is.
        const int appId = db->execAndGet("PRAGMA application_id").getInt();
        const int version = db->execAndGet("PRAGMA user_version").getInt();
        const int objects = db->execAndGet("SELECT count(*) FROM sqlite_master").getInt();
        // Only a missing or 0-byte file is set up as a new history: one byte, or a database
        // without tables, at a history's own place is what is left of a history, not room for one.
        const bool ourPlace = atHistoryPlace(file);
        const bool fresh = appId == 0 && objects == 0 && (!exists || emptyFile || !ourPlace);
        if (!fresh && appId != kApplicationId) {
            // Another program marks its database with an id of its own: that file is someone else's.
            if (appId != 0 || !ourPlace)
                return fail(ErrorCode::NotOurs,
                            "文件 " + shownPath(file) + " 不是本程序的历史数据库，未作任何改动。");
            return std::unexpected(damagedError(file, objects == 0 ? "文件里没有历史号码的表"
                                                                   : "文件里存的不是本程序的历史号码"));
        }
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
        // The very bytes its seal was taken of are the sound file that was sealed: no check needed.
        // The bytes of a sealed file are hashed here. A reader of one changed just now compares
        // them again after it has read: the file's time may not show a change made within the
        // same tick of the system's clock.
        const auto recorded = !fresh && !log && proof == Proof::Now ? recordedSeal(file) : std::nullopt;
        const auto bytes = recorded && fileStatus(file).size == recorded->size ? sealOf(file) : std::nullopt;
        const bool sealHolds = bytes && bytes == recorded;
        if (sealHolds)
            verdict = Verdict::Sound;
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
        if (!dbWritable && changedJustNow(file))
            store->m_openedBytes = bytes;
        store->m_sealHolds = sealHolds;
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
    m_openedBytes.reset();
}

Result<void> HistoryStore::unchangedSinceOpened() const {
    if (m_identity.empty() ||
        (fileIdentity(m_file) == m_identity && (!m_openedBytes || sealOf(m_file) == m_openedBytes)))
        return {};
    return std::unexpected(changedWhileRead(m_file));
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

} // namespace brenvik
