// SPDX-License-Identifier: GPL-3.0-or-later
#include "Compaction.h"

#include "FileSeal.h"
#include "SafeWrite.h"
#include "SystemError.h"

#include <sqlite3.h>

#include <array>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

namespace brenvik {

namespace {

// One connection of the engine's own, closed explicitly so that a failing close is seen: the
// close is what folds the write-ahead log back into the file.
class Connection {
public:
    static Result<Connection> open(const std::filesystem::path& file) {
        sqlite3* db = nullptr;
        const int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        Connection c(db);
        if (rc != SQLITE_OK)
            return fail(ErrorCode::Database, "无法打开数据库文件 " + shownPath(file) + "：" + c.message());
        sqlite3_busy_timeout(db, 3000);
        return c;
    }
    Connection(Connection&& other) noexcept : m_db(std::exchange(other.m_db, nullptr)) {}
    Connection& operator=(Connection&&) = delete;
    ~Connection() {
        if (m_db)
            sqlite3_close_v2(m_db);
    }

    sqlite3* get() const { return m_db; }
    std::string message() const { return m_db ? otherErrorText(sqlite3_errmsg(m_db)) : "内存不足"; }

    bool close() {
        const bool closed = sqlite3_close(m_db) == SQLITE_OK;
        if (closed)
            m_db = nullptr;
        return closed;
    }

private:
    explicit Connection(sqlite3* db) : m_db(db) {}
    sqlite3* m_db;
};

using Row = std::array<std::string, 4>;

// The first row of a query, its first columns as text; nothing when the engine refuses it.
std::optional<Row> firstRow(const Connection& c, const char* sql, const std::string* parameter = nullptr) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(c.get(), sql, -1, &st, nullptr) != SQLITE_OK)
        return std::nullopt;
    if (parameter)
        sqlite3_bind_text(st, 1, parameter->c_str(), -1, SQLITE_TRANSIENT);
    Row row;
    const int step = sqlite3_step(st);
    if (step == SQLITE_ROW)
        for (int i = 0; i < sqlite3_column_count(st) && i < 4; ++i)
            if (const auto* t = sqlite3_column_text(st, i))
                row[i] = reinterpret_cast<const char*>(t);
    sqlite3_finalize(st);
    if (step != SQLITE_ROW && step != SQLITE_DONE)
        return std::nullopt;
    return row;
}

std::string refused(const Connection& c, const std::filesystem::path& file) {
    return "数据库文件 " + shownPath(file) + " 操作失败：" + c.message() + "，未压缩。";
}

Result<void> checkOursAndSound(const Connection& c, const std::filesystem::path& file) {
    auto id = firstRow(c, "PRAGMA application_id");
    if (!id)
        return std::unexpected(storageError(file, sqlite3_extended_errcode(c.get()), c.get(), c.message()));
    if ((*id)[0] != std::to_string(HistoryStore::kApplicationId))
        return fail(ErrorCode::NotOurs, "文件 " + shownPath(file) + " 不是本程序的历史数据库，未压缩。");
    auto check = firstRow(c, "PRAGMA integrity_check(1)");
    if (!check)
        return fail(ErrorCode::Database, refused(c, file));
    if ((*check)[0] != "ok")
        return fail(ErrorCode::Database,
                    "数据库文件 " + shownPath(file) + " 已损坏（" + (*check)[0] + "），未压缩。");
    return {};
}

// Enough of the content to tell that a copy holds the same history.
std::optional<Row> fingerprint(const Connection& c) {
    return firstRow(c, "SELECT count(*), coalesce(sum(SQQH), 0),"
                       " coalesce(sum((SQQH % 9973) * (L1A * 100 + L2A * 10 + L3A + 1)), 0),"
                       " (SELECT count(*) FROM Carcu) FROM Lishi");
}

std::filesystem::path withSuffix(const std::filesystem::path& file, const char* suffix) {
    auto p = file;
    p += suffix;
    return p;
}

// A log or index file beside a database that no connection holds any more would be read into
// whatever file next carries the database's name.
bool hasCompanionFiles(const std::filesystem::path& file) {
    std::error_code ec;
    return std::filesystem::exists(withSuffix(file, "-wal"), ec) ||
           std::filesystem::exists(withSuffix(file, "-shm"), ec);
}

// The old compacted copy goes together with anything the engine kept beside it, so that a stale
// log can never be applied to the new copy.
Result<void> removeOldTemporary(const std::filesystem::path& temp) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        std::error_code ec;
        const auto file = withSuffix(temp, suffix);
        std::filesystem::remove(file, ec);
        if (ec)
            return fail(ErrorCode::Io, "无法删除旧的临时文件 " + shownPath(file) + "：" +
                                           systemErrorText(ec.value()) + "，未压缩。");
    }
    return {};
}

// Checks the database, folds its log in and writes the compacted copy; returns the fingerprint
// of the history it holds. The connection is closed before this returns.
Result<Row> writeCompactedCopy(const std::filesystem::path& databaseFile, const std::filesystem::path& temp) {
    auto source = Connection::open(databaseFile);
    if (!source)
        return std::unexpected(source.error());
    if (auto sound = checkOursAndSound(*source, databaseFile); !sound)
        return std::unexpected(sound.error());
    auto checkpoint = firstRow(*source, "PRAGMA wal_checkpoint(TRUNCATE)");
    if (!checkpoint)
        return fail(ErrorCode::Database, refused(*source, databaseFile));
    if ((*checkpoint)[0] != "0")
        return fail(ErrorCode::Database,
                    "数据库文件 " + shownPath(databaseFile) + " 仍被其他连接使用，未压缩。");
    auto before = fingerprint(*source);
    if (!before)
        return fail(ErrorCode::Database, refused(*source, databaseFile));
    if (auto removed = removeOldTemporary(temp); !removed)
        return std::unexpected(removed.error());
    const std::string target = temp.string();
    // The copy is written with the pages of a new history, whatever size the file had.
    const std::string pageSize = "PRAGMA page_size=" + std::to_string(kHistoryPageSize);
    if (!firstRow(*source, pageSize.c_str()) || !firstRow(*source, "VACUUM INTO ?", &target))
        return fail(ErrorCode::Database, "无法将数据库压缩到文件 " + shownPath(temp) + "：" +
                                             source->message() + "，原数据库未改动。");
    if (!source->close())
        return fail(ErrorCode::Database, refused(*source, databaseFile));
    // Only the last connection removes the log on closing; one left means another is still open.
    if (hasCompanionFiles(databaseFile))
        return fail(ErrorCode::Database,
                    "数据库文件 " + shownPath(databaseFile) + " 仍被其他连接使用，未压缩。");
    return *before;
}

// The copy leaves the engine in rollback mode; the history database keeps its write-ahead log.
Result<void> checkCompactedCopy(const std::filesystem::path& temp, const Row& expected) {
    auto copy = Connection::open(temp);
    if (!copy)
        return std::unexpected(copy.error());
    const auto mismatch = [&] {
        return fail(ErrorCode::Database, "压缩后的文件 " + shownPath(temp) + " 与原数据库不符（" +
                                             copy->message() + "），原数据库未改动。");
    };
    auto mode = firstRow(*copy, "PRAGMA journal_mode=WAL");
    if (!mode || (*mode)[0] != "wal")
        return mismatch();
    if (auto sound = checkOursAndSound(*copy, temp); !sound)
        return std::unexpected(sound.error());
    auto after = fingerprint(*copy);
    if (!after || *after != expected)
        return mismatch();
    if (!copy->close() || hasCompanionFiles(temp))
        return mismatch();
    return {};
}

} // namespace

Result<void> compactDatabase(const std::filesystem::path& databaseFile, Game game) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(databaseFile, ec))
        return fail(ErrorCode::Io, "数据库文件 " + shownPath(databaseFile) + " 不存在，未压缩。");
    const auto temp = databaseFile.parent_path() / compactTempFileName(game);
    auto expected = writeCompactedCopy(databaseFile, temp);
    if (!expected)
        return std::unexpected(expected.error());
    if (auto checked = checkCompactedCopy(temp, *expected); !checked)
        return checked;
    // The compacted file itself stays where it is; the database gets a complete copy of it, and
    // with it the seal of the copy that was checked.
    if (auto copied = copyFileSafely(temp, databaseFile); !copied)
        return copied;
    if (const auto seal = sealOf(databaseFile))
        recordSeal(databaseFile, *seal);
    return {};
}

Result<void> compactAndReopen(std::unique_ptr<HistoryStore>& store) {
    if (!store)
        return fail(ErrorCode::Invalid, "数据库未打开，无法压缩。");
    if (store->readOnly())
        return std::unexpected(storageError(store->file(), SQLITE_READONLY, nullptr, {}));
    const auto file = store->file();
    const Game game = store->game();
    const bool sound = store->checkedSound();
    store.reset();
    auto compacted = compactDatabase(file, game);
    auto reopened = HistoryStore::open(file, game);
    if (!reopened)
        return std::unexpected(reopened.error());
    store = std::move(*reopened);
    // What replaced a sound file was checked whole before it did; a failed compaction left the
    // file as it was.
    if (sound)
        store->acceptCheck({});
    return compacted;
}

} // namespace brenvik
