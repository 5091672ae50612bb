#include "HistoryStore.h"
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

TEST(HistoryStore, AFileThatIsNotOursIsReportedAndLeftAlone) {
    TestFolder dir;
    const auto file = dir / kDatabaseFile;
    const std::string text = "Standard Jet DB\0 not really"s;
    test::writeFile(file, text);
    auto r = HistoryStore::open(file);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().code, ErrorCode::NotOurs);
    EXPECT_NE(r.error().message.find("kestrel3D.mdb"), std::string::npos) << "the message names the file";
    EXPECT_EQ(test::readFile(file), text);

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

TEST(HistoryStore, LoadsTheRealHistory) {
    TestFolder dir;
    const auto draws = test::sampleDraws("fc3d-history.txt");
    ASSERT_EQ(draws.size(), 7731u);
    test::writeDatabase(dir.path(), draws);
    auto store = openStore(dir / kDatabaseFile);
    auto s = *store->loadSnapshot();
    ASSERT_EQ(s->size(), draws.size());
    EXPECT_EQ(s->first()->sqqh, 2004001);
    EXPECT_EQ(s->last()->sqqh, 2026224);
    for (std::size_t i = 0; i < draws.size(); ++i)
        ASSERT_EQ((*s)[i].digit(1) * 100 + (*s)[i].digit(2) * 10 + (*s)[i].digit(3),
                  draws[i].digits[0] * 100 + draws[i].digits[1] * 10 + draws[i].digits[2]);
}
