// SPDX-License-Identifier: GPL-3.0-or-later
// The proof that a history file is sound: the whole check, and the words for what it finds.
#include "HistoryStore.h"
#include "HistoryStoreParts.h"

#include "FileSeal.h"
#include "Platform.h"
#include "SystemError.h"

#include <SQLiteCpp/Statement.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <string_view>
#include <utility>

namespace brenvik {

using namespace storage;

namespace {

// The engine's verdict on a damaged file runs over several lines; the last says what is wrong.
std::string lastLine(std::string text) {
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    const auto start = text.rfind('\n');
    return start == std::string::npos ? text : text.substr(start + 1);
}

bool saysAny(std::string_view text, std::initializer_list<std::string_view> words) {
    return std::ranges::any_of(words,
                               [text](std::string_view w) { return text.find(w) != std::string_view::npos; });
}

// What the engine found, in the program's words. Its own words go to the details: they name
// pages, cells and indexes that mean nothing to a user, and they are English.
std::string faultInWords(std::string_view verdict) {
    if (saysAny(verdict, {"not a database", "unsupported file format"}))
        return causeText(SystemCause::NotADatabase);
    if (saysAny(verdict, {"missing from index", "wrong # of entries in index", "non-unique entry in index"}))
        return "索引与表中的数据不符";
    if (saysAny(verdict,
                {"Page ", "page ", "btreeInitPage", "Freelist", "freelist", "overflow", "Fragmentation",
                 "never used", "2nd reference", "Multiple uses", "Child page depth"}))
        return "数据页损坏";
    return "内容残缺或有误";
}

bool isAscii(std::string_view text) {
    return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

namespace storage {

// What a row whose digits are not three digits says of the file.
std::string digitFault(long long issue) {
    return "第 " + std::to_string(issue) + " 期存的号码不是三个 0～9 的数字";
}

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

} // namespace storage

Error damagedError(const std::filesystem::path& file, const std::string& detail) {
    // What this program found it says itself; what the engine found is said in our words, its own
    // kept for the details.
    const bool ours = !isAscii(detail);
    const std::string what = ours ? detail : faultInWords(detail);
    const Game game = gameOfDatabaseFile(file).value_or(Game::Fc3d);
    return Error{ErrorCode::Damaged,
                 "数据库文件 " + shownPath(file) + " 已损坏（" + what +
                     "），未作任何改动。可以从撤销备份、备份文件 " + rebuildBackupFileName(game) +
                     " 或附带的样本恢复历史，损坏的文件中还能读出的各期也可以补回：在窗口里用“历史管理”菜单的"
                     "“恢复历史…”，或运行 brenvik3d-cli restore --salvage [文件]。",
                 ours ? std::string() : lastLine(detail)};
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

} // namespace

namespace storage {

Error failedCheck(const std::filesystem::path& file, const std::string& verdict) {
    if (hasLog(file) && soundWithoutLog(file))
        return Error{ErrorCode::Damaged, "数据库文件 " + shownPath(file) + " 与旁边的日志文件 " +
                                             shownPath(logOf(file).filename()) +
                                             " 不相符（日志可能是从别处复制来的），未作任何改动。"
                                             "请移走该日志文件，或换回一份完好的副本。"};
    return damagedError(file, verdict);
}

} // namespace storage

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
    if (!hasLog(file) && matchesSeal(file))
        return {};
    return checkWith(file, readerUriOf(file), [&](SQLite::Database& db) -> Result<void> {
        if (const int appId = db.execAndGet("PRAGMA application_id").getInt(); appId != kApplicationId) {
            const bool objects = db.execAndGet("SELECT count(*) FROM sqlite_master").getInt() > 0;
            if (appId == 0 && !objects && (fileStatus(file).size == 0 || !atHistoryPlace(file)))
                return fail(ErrorCode::Empty, "数据库文件 " + shownPath(file) + " 里还没有历史号码。");
            // As when it is opened: at a history's own place, a file without another program's
            // mark is what is left of a history.
            if (appId == 0 && atHistoryPlace(file))
                return std::unexpected(damagedError(file, objects ? "文件里存的不是本程序的历史号码"
                                                                  : "文件里没有历史号码的表"));
            return fail(ErrorCode::NotOurs,
                        "文件 " + shownPath(file) + " 不是本程序的历史数据库，未作任何改动。");
        }
        return verdictOf(file, db);
    });
}

Result<void> HistoryStore::checkWhole() const {
    // Through this connection: a second one would first read the file's schema again.
    Result<void> verdict;
    try {
        verdict = verdictOf(m_file, *m_db);
    } catch (const std::exception& e) {
        verdict = std::unexpected(engineError(m_file, e, nullptr));
    }
    // A file another program changed while it was checked is no verdict on the file it holds now.
    if (!verdict)
        if (auto unchanged = unchangedSinceOpened(); !unchanged)
            return unchanged;
    return verdict;
}

std::function<Result<void>()> HistoryStore::checkTask() const {
    return [file = m_file, uri = m_readerUri]() -> Result<void> {
        // The bytes of its seal are the sound file that was sealed (a file opened to be proven
        // later was not hashed at its opening).
        if (!hasLog(file) && matchesSeal(file))
            return {};
        return checkThrough(file, uri);
    };
}

void HistoryStore::acceptCheck(const Result<void>& verdict) {
    m_verdict = verdict ? Verdict::Sound : Verdict::Damaged;
    m_damage = verdict ? Error{} : verdict.error();
    if (m_verdict != Verdict::Sound)
        return;
    if (m_changeable && !m_dbWritable)
        becomeWritable();
    if (!m_dbWritable)
        return;
    // Only a sound file may have its log folded in when it closes.
    sqlite3_db_config(m_db->getHandle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
    sqlite3_wal_hook(m_db->getHandle(), &HistoryStore::afterCommit, this);
    // A file opened with the bytes of its seal has nothing to fold in and nothing to record.
    if (!std::exchange(m_sealHolds, false))
        reseal();
}

int HistoryStore::afterCommit(void* store, sqlite3*, const char*, int) {
    static_cast<HistoryStore*>(store)->reseal();
    return SQLITE_OK;
}

// Every commit of this program's writing connection is folded into the file at once and the
// file's seal recorded: the next reader, and the next change, then know the file sound by
// reading it once at the speed of memory, instead of checking every page and index.
void HistoryStore::reseal() {
    sqlite3* db = m_db->getHandle();
    // A reader still at the log keeps it; the window must not wait long for it, and the next
    // commit, or the closing, folds it in.
    sqlite3_busy_timeout(db, 200);
    int logFrames = -1, folded = -1;
    const int folding =
        sqlite3_wal_checkpoint_v2(db, "main", SQLITE_CHECKPOINT_TRUNCATE, &logFrames, &folded);
    sqlite3_busy_timeout(db, 3000);
    if (folding != SQLITE_OK || logFrames != 0)
        return;
    const auto seal = sealOf(m_file);
    if (seal && recordedSeal(m_file) != seal)
        recordSeal(m_file, *seal);
}

Result<void> HistoryStore::requireSound() {
    if (m_verdict == Verdict::Unchecked) {
        auto verdict = checkWhole();
        if (!verdict && verdict.error().code == ErrorCode::Busy)
            return verdict;
        acceptCheck(verdict);
    }
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

} // namespace brenvik
