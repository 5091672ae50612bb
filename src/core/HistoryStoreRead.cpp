// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the history: the snapshot, the draws, the last row, the tally and the values of Meta.
#include "HistoryStore.h"
#include "HistoryStoreParts.h"

#include "IssueNumber.h"
#include "Platform.h"

#include <SQLiteCpp/Statement.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <system_error>
#include <thread>

namespace brenvik {

using namespace storage;

namespace storage {

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

} // namespace storage

namespace {

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
        if (auto unchanged = unchangedSinceOpened(); !unchanged)
            return std::unexpected(unchanged.error());
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
        if (auto unchanged = unchangedSinceOpened(); !unchanged)
            return std::unexpected(unchanged.error());
        std::ranges::reverse(draws);
        return draws;
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

namespace {

// Reads the rows of Lishi from the first one after `after` on, in issue order, through the table
// alone; stops at the end, or at the first page that cannot be read (false).
bool readRowsAfter(sqlite3_stmt* q, long long after, int currentYear, HistoryStore::Salvaged& out,
                   long long& last) {
    sqlite3_reset(q);
    sqlite3_bind_int64(q, 1, after);
    int step;
    while ((step = sqlite3_step(q)) == SQLITE_ROW) {
        last = sqlite3_column_int64(q, 0);
        DrawLine d{static_cast<std::int32_t>(std::clamp<long long>(last, 0, 9'999'999)), {}};
        bool draw = last >= 1'000'000 && last <= 9'999'999 && !issueProblem(d.issue, currentYear);
        for (int p = 0; p < kPositions; ++p) {
            const int digit = sqlite3_column_int(q, p + 1);
            draw = draw && sqlite3_column_type(q, p + 1) == SQLITE_INTEGER && digit >= 0 && digit <= 9;
            d.digits[static_cast<std::size_t>(p)] = digit;
        }
        if (draw)
            out.draws.push_back(d);
        else
            ++out.refused;
    }
    return step == SQLITE_DONE;
}

// Whether a row after `after` can be reached: the seek to it passes no unreadable page.
bool reachable(sqlite3_stmt* probe, long long after) {
    sqlite3_reset(probe);
    sqlite3_bind_int64(probe, 1, after);
    const int step = sqlite3_step(probe);
    return step == SQLITE_ROW || step == SQLITE_DONE;
}

} // namespace

Result<HistoryStore::Salvaged> HistoryStore::salvage(const std::filesystem::path& file, int currentYear) {
    if (auto refused = refusedPath(file))
        return std::unexpected(*refused);
    try {
        SQLite::Database db(readerUriOf(file), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX);
        db.setBusyTimeout(3000);
        // A page that does not hold together is refused as it is read, never read into a draw.
        db.exec("PRAGMA cell_size_check=ON");
        sqlite3* handle = db.getHandle();
        // The issue is the table's own key: these read the table in issue order without an index.
        StatementPtr rows =
            prepare(handle, "SELECT SQQH, L1A, L2A, L3A FROM Lishi NOT INDEXED WHERE SQQH > ? ORDER BY SQQH");
        StatementPtr probe =
            prepare(handle, "SELECT 1 FROM Lishi NOT INDEXED WHERE SQQH > ? ORDER BY SQQH LIMIT 1");
        Salvaged out;
        long long last = -1;
        // The issues lie between 1,000,000 and 9,999,999: past an unreadable page, the first key
        // that can be reached again is found in a few dozen seeks.
        constexpr long long kLastKey = 9'999'999;
        long long from = last;
        while (!readRowsAfter(rows.get(), from, currentYear, out, last)) {
            out.pagesLost = true;
            const long long lost = std::max(from, last);
            long long step = 1;
            while (lost + step < kLastKey && !reachable(probe.get(), lost + step))
                step *= 2;
            if (lost + step >= kLastKey && !reachable(probe.get(), kLastKey - 1))
                break;
            // The first key after `lost` from which the table can be read again.
            long long bad = lost + step / 2, good = std::min(lost + step, kLastKey - 1);
            if (step == 1)
                bad = lost;
            while (good - bad > 1) {
                const long long middle = bad + (good - bad) / 2;
                (reachable(probe.get(), middle) ? good : bad) = middle;
            }
            from = good;
            last = good;
        }
        if (out.draws.empty() && out.refused == 0 && out.pagesLost)
            return std::unexpected(damagedError(file, sqlite3_errmsg(handle)));
        return out;
    } catch (const std::exception& e) {
        return std::unexpected(engineError(file, e, nullptr));
    }
}

} // namespace brenvik
