// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryStore.h"
#include "HistoryRebuild.h"
#include "HistoryText.h"
#include "SampleHistory.h"
#include "TestFolder.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace std::string_literals;

using namespace brenvik;
using brenvik::test::TestFolder;

namespace {

std::unique_ptr<HistoryStore> openStore(const std::filesystem::path& file) {
    auto store = HistoryStore::open(file);
    EXPECT_TRUE(store.has_value()) << (store ? "" : store.error().message);
    return store ? std::move(*store) : nullptr;
}

std::set<std::string> columnsOf(const std::filesystem::path& file, const char* table) {
    SQLite::Database db(file.string());
    SQLite::Statement q(db, std::string("PRAGMA table_info(") + table + ")");
    std::set<std::string> names;
    while (q.executeStep())
        names.insert(q.getColumn(1).getString());
    return names;
}

} // namespace

TEST(HistoryStore, CreatesBothTablesWithEveryColumn) {
    TestFolder dir;
    const auto file = dir / kDatabaseFile;
    ASSERT_TRUE(openStore(file));
    const auto lishi = columnsOf(file, "Lishi");
    for (const char* c : {"SQQH",
                          "QQH",
                          "strQQH",
                          "L1A",
                          "L3F",
                          "L2BS",
                          "L3EP",
                          "txtHisLst",
                          "txtHisLstHm",
                          "txtHisLstDx",
                          "txtHisLstDs",
                          "txtHisLstDuan",
                          "txtHisPreLst",
                          "txtHisPreLstHm",
                          "txtHisPreLstDx",
                          "txtHisPreLstDs",
                          "txtHisPreLstDuan",
                          "intTh",
                          "bolOk",
                          "txtHisP6"})
        EXPECT_TRUE(lishi.count(c)) << c;
    EXPECT_EQ(lishi.size(), 3u + 36u + 10u + 3u);
    EXPECT_EQ(columnsOf(file, "Carcu"), (std::set<std::string>{"Nmb", "Count"}));
}

TEST(HistoryStore, RowsSurviveARestartInIssueOrder) {
    TestFolder dir;
    const auto file = dir / kDatabaseFile;
    RunningState state;
    std::vector<DrawRow> rows;
    for (auto [issue, d] : std::vector<std::pair<int, std::array<int, 3>>>{
             {2013002, {5, 5, 3}}, {2013001, {0, 4, 5}}, {2013003, {9, 8, 7}}})
        rows.push_back(appendDraw(issue, d, 1, state));
    rows[0].strQQH = "x";
    {
        auto store = openStore(file);
        ASSERT_TRUE(store->append(rows));
    }
    auto store = openStore(file);
    auto snapshot = store->loadSnapshot();
    ASSERT_TRUE(snapshot);
    ASSERT_EQ((*snapshot)->size(), 3u);
    // Read in issue order, whatever order they were appended in; every stored column comes back.
    EXPECT_EQ((**snapshot)[0].sqqh, 2013001);
    const DrawRow& back = (**snapshot)[1];
    EXPECT_EQ(back.sqqh, rows[0].sqqh);
    EXPECT_EQ(back.qqh, rows[0].qqh);
    EXPECT_EQ(back.own, rows[0].own);
    EXPECT_EQ(back.strQQH, "x");
    EXPECT_EQ((**snapshot)[0].last, rows[1].last);
    EXPECT_EQ((**snapshot)[0].prev, rows[1].prev);
    EXPECT_EQ((**snapshot)[2].back, rows[2].back);
}

TEST(HistoryStore, AppendingAfterARestartMatchesAppendingInOneGo) {
    TestFolder dir;
    const auto draws = test::syntheticDraws(20, 7);
    const auto expected = rowsFromDraws(draws, 1);
    {
        auto store = openStore(dir / kDatabaseFile);
        ASSERT_TRUE(store->append(std::span(expected).first(12)));
    }
    auto store = openStore(dir / kDatabaseFile);
    auto snapshot = *store->loadSnapshot();
    RunningState state = RunningState::after(*snapshot->last());
    std::vector<DrawRow> more;
    for (std::size_t i = 12; i < draws.size(); ++i)
        more.push_back(appendDraw(draws[i].issue, draws[i].digits, 1, state));
    ASSERT_TRUE(store->append(more));
    snapshot = *store->loadSnapshot();
    ASSERT_EQ(snapshot->size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ((*snapshot)[i].prev, expected[i].prev) << i;
        EXPECT_EQ((*snapshot)[i].back, expected[i].back) << i;
        EXPECT_EQ((*snapshot)[i].last, expected[i].last) << i;
    }
}

TEST(HistoryStore, DeletionsAndReplacement) {
    TestFolder dir;
    auto store = openStore(dir / kDatabaseFile);
    const auto rows = rowsFromDraws(test::syntheticDraws(5, 3, 2013357), 1);
    ASSERT_TRUE(store->append(rows));

    auto deleted = store->deleteLast();
    ASSERT_TRUE(deleted);
    EXPECT_EQ(*deleted, rows[4].sqqh);
    auto s = *store->loadSnapshot();
    EXPECT_EQ(s->size(), 4u);
    EXPECT_EQ(s->last()->sqqh, rows[3].sqqh);

    EXPECT_EQ(store->deleteAll().value(), 4);
    EXPECT_TRUE((*store->loadSnapshot())->empty());
    EXPECT_FALSE(store->deleteLast().value()) << "nothing to delete";
}

TEST(HistoryStore, AFailingReplacementKeepsTheOldHistory) {
    TestFolder dir;
    auto store = openStore(dir / kDatabaseFile);
    const auto rows = rowsFromDraws(test::syntheticDraws(5, 3), 1);
    ASSERT_TRUE(store->append(rows));
    // Two rows with one issue violate the unique issue index half-way through.
    auto broken = rowsFromDraws(test::syntheticDraws(8, 4, 2020001), 1);
    broken[6].sqqh = broken[2].sqqh;
    auto result = store->replaceAll(broken);
    EXPECT_FALSE(result);
    auto s = *store->loadSnapshot();
    ASSERT_EQ(s->size(), 5u);
    EXPECT_EQ(s->first()->sqqh, rows[0].sqqh);
    EXPECT_FALSE(store->append(std::span(rows).first(1))) << "an issue already stored is refused";
    EXPECT_EQ((*store->loadSnapshot())->size(), 5u);
}

TEST(HistoryStore, TallyTableIsReplacedWhole) {
    TestFolder dir;
    auto store = openStore(dir / kDatabaseFile);
    const std::vector<std::pair<int, int>> first = {{0, 4}, {1, 9}};
    const std::vector<std::pair<int, int>> second = {{1, 2}, {2, 0}, {3, 7}};
    ASSERT_TRUE(store->writeTally(first));
    ASSERT_TRUE(store->writeTally(second));
    EXPECT_EQ(store->readTally().value(), second);
}

// Another format's file at a history's own place is what is left of a history there (damaged, to
// be restored); elsewhere, and with another program's mark, it is that program's.
TEST(HistoryStore, AFileThatIsNotOursIsReportedAndLeftAlone) {
    TestFolder dir;
    const std::string text = "Standard Jet DB\0 not really"s;
    for (const auto& [name, code] :
         {std::pair{kDatabaseFile, ErrorCode::Damaged}, {"elsewhere.mdb", ErrorCode::NotOurs}}) {
        const auto file = dir / name;
        test::writeFile(file, text);
        auto r = HistoryStore::open(file);
        ASSERT_FALSE(r);
        EXPECT_EQ(r.error().code, code) << name;
        EXPECT_NE(r.error().message.find(name), std::string::npos) << "the message names the file";
        EXPECT_EQ(test::readFile(file), text);
    }

    // Another program's SQLite database.
    const auto other = dir / "other.mdb";
    {
        SQLite::Database db(other.string(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        db.exec("CREATE TABLE t(x); INSERT INTO t VALUES (42)");
    }
    const std::string before = test::readFile(other);
    auto r2 = HistoryStore::open(other);
    ASSERT_FALSE(r2);
    EXPECT_EQ(r2.error().code, ErrorCode::NotOurs);
    EXPECT_EQ(test::readFile(other), before);
}

TEST(HistoryStore, AnEmptyFileBecomesANewDatabase) {
    TestFolder dir;
    const auto file = dir / kDatabaseFile;
    test::writeFile(file, "");
    auto store = openStore(file);
    ASSERT_TRUE(store);
    EXPECT_TRUE((*store->loadSnapshot())->empty());
}

TEST(HistoryStore, ADamagedDatabaseIsReported) {
    TestFolder dir;
    const auto file = dir / kDatabaseFile;
    test::writeDatabase(dir.path(), test::syntheticDraws(3000, 9));
    std::string bytes = test::readFile(file);
    ASSERT_GT(bytes.size(), 40000u);
    // Scribble over the pages after the header.
    for (std::size_t i = 8192; i < bytes.size(); i += 7)
        bytes[i] = static_cast<char>(0xA5);
    test::writeFile(file, bytes);
    auto store = HistoryStore::open(file);
    if (store) {
        auto snapshot = (*store)->loadSnapshot();
        EXPECT_FALSE(snapshot) << "a damaged table must not read as a history";
    }
}

// Every stored column of every row, read with a plain query, as the snapshot must give them back.
std::vector<DrawRow> storedRows(const std::filesystem::path& file) {
    SQLite::Database db(file.string());
    SQLite::Statement q(db, "SELECT * FROM Lishi ORDER BY SQQH");
    std::vector<DrawRow> rows;
    while (q.executeStep()) {
        DrawRow r;
        r.sqqh = q.getColumn("SQQH").getInt();
        r.qqh = q.getColumn("QQH").getInt();
        r.strQQH = q.getColumn("strQQH").getString();
        for (int p = 1; p <= 3; ++p)
            for (int k = 0; k < kKindCount; ++k) {
                r.own[p - 1][k] =
                    static_cast<std::int16_t>(q.getColumn(columnName(p, Kind(k)).c_str()).getInt());
                r.prev[p - 1][k] = static_cast<std::int16_t>(
                    q.getColumn(columnName(p, Kind(k), Variant::Previous).c_str()).getInt());
                r.back[p - 1][k] = static_cast<std::int16_t>(
                    q.getColumn(columnName(p, Kind(k), Variant::Back).c_str()).getInt());
            }
        for (int i = 0; i < kSummaryCount; ++i) {
            r.last[i] = q.getColumn(std::string(kLastColumns[i]).c_str()).getString();
            r.pre[i] = q.getColumn(std::string(kBackColumns[i]).c_str()).getString();
        }
        rows.push_back(r);
    }
    return rows;
}

TEST(HistoryStore, TheSnapshotAgreesWithTheStoredRows) {
    struct Case {
        const char* name;
        std::vector<DrawLine> draws;
        bool rebuilt; // the N-back texts filled
        // A change made behind the program's back. The codes of a row besides its digits and the
        // segment parameter of its first position, and the pattern texts, are not read: they are
        // made from the digits, as the program writes them.
        const char* edit;
    };
    const std::vector<Case> cases = {
        {"real 3D, imported", test::sampleDraws("fc3d-history.txt"), false, nullptr},
        {"real 3D, rebuilt", test::sampleDraws("fc3d-history.txt"), true, nullptr},
        {"real P3, imported", test::sampleDraws("pl3-history.txt"), false, nullptr},
        {"real P3, rebuilt", test::sampleDraws("pl3-history.txt"), true, nullptr},
        {"rows that do not follow the draws before them", test::syntheticDraws(400, 3), true,
         "UPDATE Lishi SET L2AS = 9, L1FP = 4, txtHisLst = '999' WHERE SQQH % 11 = 0;"
         "UPDATE Lishi SET strQQH = 'x', QQH = 5 WHERE SQQH % 13 = 0;"
         "UPDATE Lishi SET txtHisLst = '  ', txtHisPreLst = '12' WHERE SQQH % 17 = 0;"},
        // As a release before the index of the loaded columns left it, then changed by another
        // program: opening adds the index again, with the rows as they are now.
        {"a history without the index of the loaded columns", test::syntheticDraws(300, 5), true,
         "DROP INDEX LishiDraws;"
         "UPDATE Lishi SET QQH = 1, txtHisPreLst = '777' WHERE SQQH % 7 = 0;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestFolder dir;
        const auto file = dir / kDatabaseFile;
        {
            auto store = openStore(file);
            ASSERT_TRUE(c.rebuilt ? storeRebuilt(*store, c.draws, 1)
                                  : store->replaceAll(rowsFromDraws(c.draws, 1)));
        }
        if (c.edit) {
            SQLite::Database db(file.string(), SQLite::OPEN_READWRITE);
            db.exec(c.edit);
        }
        const auto stored = storedRows(file);
        ASSERT_EQ(stored.size(), c.draws.size());
        auto store = openStore(file);
        EXPECT_EQ(SQLite::Database(file.string())
                      .execAndGet("SELECT count(*) FROM sqlite_master WHERE name = 'LishiDraws'")
                      .getInt(),
                  1);
        // Read in one part, and in two parts at once as a large history is.
        for (const std::size_t splitFrom : {HistoryStore::kSplitLoadFrom, std::size_t{0}}) {
            SCOPED_TRACE(splitFrom == 0 ? "in two parts" : "in one part");
            const SnapshotPtr s = *store->loadSnapshot(splitFrom);
            ASSERT_EQ(s->size(), stored.size());
            for (std::size_t i = 0; i < stored.size(); ++i) {
                const DrawRow row = (*s)[i];
                const DrawRow& want = stored[i];
                ASSERT_TRUE(row.sqqh == want.sqqh && row.qqh == want.qqh && row.strQQH == want.strQQH &&
                            row.own == want.own && row.prev == want.prev && row.back == want.back &&
                            row.last == want.last && row.pre == want.pre)
                    << "row " << want.sqqh;
                ASSERT_EQ(s->digits(i), c.draws[i].digits) << want.sqqh;
                ASSERT_EQ(s->prevCodes(i), want.prev) << want.sqqh;
                ASSERT_EQ(s->hasPrevious()[i] != 0, want.last[0].find_first_not_of(' ') != std::string::npos)
                    << want.sqqh;
                for (int k = 0; k < kKindCount; ++k)
                    ASSERT_EQ(s->lastTokens(Kind(k))[i], tokenMask(want.last[1 + k])) << want.sqqh;
                for (int slot = 0; slot < kSummaryCount; ++slot)
                    ASSERT_TRUE(s->summaryText(i, slot, false) == want.last[slot] &&
                                s->summaryText(i, slot, true) == want.pre[slot])
                        << want.sqqh;
            }
            EXPECT_EQ(s->first()->sqqh, stored.front().sqqh);
            EXPECT_EQ(s->last()->last, stored.back().last);
        }
    }
}
