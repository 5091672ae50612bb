// SPDX-License-Identifier: GPL-3.0-or-later
#include "Compaction.h"
#include "HistoryRebuild.h"
#include "HistoryStore.h"
#include "SampleHistory.h"
#include "TestFolder.h"

#include <SQLiteCpp/Database.h>
#include <gtest/gtest.h>

using namespace brenvik;
using test::TestFolder;

namespace {

std::unique_ptr<HistoryStore> openStore(const std::filesystem::path& file) {
    auto store = HistoryStore::open(file);
    if (!store)
        throw std::runtime_error(store.error().message);
    return std::move(*store);
}

std::vector<DrawRow> storedRows(const std::filesystem::path& file) {
    return (*openStore(file)->loadSnapshot())->rows();
}

void expectSameRows(const std::vector<DrawRow>& a, const std::vector<DrawRow>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].sqqh, b[i].sqqh) << i;
        ASSERT_EQ(a[i].qqh, b[i].qqh) << i;
        ASSERT_EQ(a[i].own, b[i].own) << i;
        ASSERT_EQ(a[i].prev, b[i].prev) << i;
        ASSERT_EQ(a[i].back, b[i].back) << i;
        ASSERT_EQ(a[i].last, b[i].last) << i;
        ASSERT_EQ(a[i].pre, b[i].pre) << i;
    }
}

std::string integrity(const std::filesystem::path& file) {
    SQLite::Database db(file.string(), SQLite::OPEN_READWRITE);
    return db.execAndGet("PRAGMA integrity_check").getString();
}

// A history database that had many more rows than it keeps, so compaction has pages to free.
int pageSize(const std::filesystem::path& file) {
    return SQLite::Database(file.string()).execAndGet("PRAGMA page_size").getInt();
}

// A history database that had many more rows than it keeps, so compaction has pages to free. Its
// pages are of the size histories had before they were made larger.
std::vector<DrawRow> prepareShrunkDatabase(const std::filesystem::path& folder) {
    test::writeDatabase(folder, test::syntheticDraws(20000, 11));
    SQLite::Database(folder / kDatabaseFile, SQLite::OPEN_READWRITE)
        .exec("PRAGMA journal_mode=DELETE; PRAGMA page_size=4096; VACUUM; PRAGMA journal_mode=WAL;");
    auto store = openStore(folder / kDatabaseFile);
    const auto kept = rebuiltRows(test::syntheticDraws(2500, 12), 1);
    if (!store->replaceAll(kept))
        throw std::runtime_error("cannot shrink the history");
    return kept;
}

// What a compaction leaves: the database, its seal and the compacted file.
const std::vector<std::string> kCompactedFolder = {kDatabaseFile, std::string(kDatabaseFile) + "-seal",
                                                   kCompactTempFile};

} // namespace

TEST(Compaction, ShrinksTheFileAndKeepsEveryRow) {
    TestFolder dir;
    const auto db = dir / kDatabaseFile;
    const auto rows = prepareShrunkDatabase(dir.path());
    const auto before = std::filesystem::file_size(db);
    ASSERT_EQ(pageSize(db), 4096);

    auto compacted = compactDatabase(db);
    ASSERT_TRUE(compacted) << compacted.error().message;
    EXPECT_LT(std::filesystem::file_size(db), before / 4);
    EXPECT_EQ(pageSize(db), kHistoryPageSize) << "the compacted copy has the pages of a new history";
    EXPECT_EQ(test::folderContents(dir.path()), kCompactedFolder)
        << "no log, index or half copy is left beside the files, the seal of the copy is";
    const std::string bytes = test::readFile(db);
    EXPECT_EQ(bytes, test::readFile(dir / kCompactTempFile))
        << "the database is a complete copy of the compacted file";
    ASSERT_GT(bytes.size(), 100u);
    EXPECT_EQ(bytes[18], 2) << "the compacted database keeps its write-ahead log";

    expectSameRows(storedRows(db), rows);
    EXPECT_EQ(integrity(db), "ok");

    // The next compaction deletes and recreates the compacted file.
    test::writeFile(dir / kCompactTempFile, "left over from an earlier run");
    ASSERT_TRUE(compactDatabase(db));
    EXPECT_EQ(test::readFile(dir / kCompactTempFile), test::readFile(db));
    expectSameRows(storedRows(dir / kCompactTempFile), rows);
}

TEST(Compaction, CommittedDrawsStillInTheLogAreKept) {
    // The state a crash leaves: the last change is committed in the log, not yet in the file (the
    // program folds it in right after the commit; a kill comes first).
    TestFolder live, crashed;
    test::writeDatabase(live.path(), test::syntheticDraws(320, 13));
    {
        SQLite::Database writer(live / kDatabaseFile, SQLite::OPEN_READWRITE);
        writer.exec("PRAGMA wal_autocheckpoint=0; DELETE FROM Lishi WHERE SQQH > 2004300");
        for (const char* name : {"kestrel3D.mdb", "kestrel3D.mdb-wal"})
            std::filesystem::copy_file(live / name, crashed / name);
    }
    ASSERT_GT(std::filesystem::file_size(crashed / "kestrel3D.mdb-wal"), 0u);
    const auto expected = storedRows(live / kDatabaseFile);
    ASSERT_EQ(expected.size(), 300u);

    auto compacted = compactDatabase(crashed / kDatabaseFile);
    ASSERT_TRUE(compacted) << compacted.error().message;
    EXPECT_EQ(test::folderContents(crashed.path()), kCompactedFolder);
    expectSameRows(storedRows(crashed / kDatabaseFile), expected);
}

TEST(Compaction, AStaleLogBesideTheOldCompactedFileIsNeverApplied) {
    // A log of another database, named as the compacted file's log, with committed changes.
    TestFolder dir, other;
    test::writeDatabase(other.path(), test::syntheticDraws(50, 14));
    {
        SQLite::Database writer(other / kDatabaseFile, SQLite::OPEN_READWRITE);
        writer.exec("PRAGMA wal_autocheckpoint=0; UPDATE Lishi SET L1A = 9 - L1A");
        ASSERT_GT(std::filesystem::file_size(other / "kestrel3D.mdb-wal"), 0u);
        std::filesystem::copy_file(other / kDatabaseFile, dir / kCompactTempFile);
        std::filesystem::copy_file(other / "kestrel3D.mdb-wal", dir / "kestrel3DTmp.mdb-wal");
        test::writeFile(dir / "kestrel3DTmp.mdb-shm", std::string(32768, '\x11'));
    }
    const auto rows = prepareShrunkDatabase(dir.path());
    ASSERT_TRUE(compactDatabase(dir / kDatabaseFile));
    EXPECT_EQ(test::folderContents(dir.path()), kCompactedFolder);
    expectSameRows(storedRows(dir / kCompactTempFile), rows);
    expectSameRows(storedRows(dir / kDatabaseFile), rows);
}

TEST(Compaction, AConnectionStillOpenStopsIt) {
    // Its log would otherwise outlive the old file and be read into the new one.
    TestFolder dir;
    const auto db = dir / kDatabaseFile;
    const auto rows = prepareShrunkDatabase(dir.path());
    auto store = openStore(db);
    const auto more = rebuiltRows(test::syntheticDraws(2600, 12), 1);
    ASSERT_TRUE(store->append(std::span(more).subspan(2500)));

    auto compacted = compactDatabase(db);
    ASSERT_FALSE(compacted);
    EXPECT_NE(compacted.error().message.find("kestrel3D.mdb"), std::string::npos)
        << compacted.error().message;
    ASSERT_TRUE(store->append(rowsFromDraws(test::syntheticDraws(1, 16, 2030001), 1)))
        << "the connection still works";
    store.reset();
    const auto stored = storedRows(db);
    ASSERT_EQ(stored.size(), 2601u);
    expectSameRows(std::vector(stored.begin(), stored.begin() + 2600), more);
    EXPECT_EQ(integrity(db), "ok");
}

TEST(Compaction, AFailureLeavesTheDatabaseFileAsItWas) {
    TestFolder dir;
    const auto db = dir / kDatabaseFile;
    prepareShrunkDatabase(dir.path());
    const std::string original = test::readFile(db);

    // A folder where the compacted file goes.
    std::filesystem::create_directories(dir / kCompactTempFile / "inside");
    auto blocked = compactDatabase(db);
    ASSERT_FALSE(blocked);
    EXPECT_NE(blocked.error().message.find(kCompactTempFile), std::string::npos) << blocked.error().message;
    EXPECT_EQ(test::readFile(db), original);
    std::filesystem::remove_all(dir / kCompactTempFile);

    {
        // A full disk while the compacted copy is written.
        test::FileSizeLimit limit(static_cast<long long>(original.size() / 20));
        auto full = compactDatabase(db);
        ASSERT_FALSE(full);
        EXPECT_NE(full.error().message.find("kestrel3D"), std::string::npos) << full.error().message;
    }
    EXPECT_EQ(test::readFile(db), original);
    EXPECT_EQ(integrity(db), "ok");
}

TEST(Compaction, ADamagedOrForeignDatabaseIsNotTouched) {
    TestFolder dir;
    const auto db = dir / kDatabaseFile;
    test::writeDatabase(dir.path(), test::syntheticDraws(3000, 9));
    std::string bytes = test::readFile(db);
    for (std::size_t i = 8192; i < bytes.size(); i += 7)
        bytes[i] = static_cast<char>(0xA5);
    test::writeFile(db, bytes);
    auto damaged = compactDatabase(db);
    ASSERT_FALSE(damaged);
    EXPECT_EQ(test::readFile(db), bytes);

    const auto foreign = dir / "other.mdb";
    {
        SQLite::Database other(foreign.string(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        other.exec("CREATE TABLE Lishi(SQQH INTEGER)");
    }
    const std::string foreignBytes = test::readFile(foreign);
    auto notOurs = compactDatabase(foreign);
    ASSERT_FALSE(notOurs);
    EXPECT_EQ(notOurs.error().code, ErrorCode::NotOurs);
    EXPECT_EQ(test::readFile(foreign), foreignBytes);

    EXPECT_FALSE(compactDatabase(dir / "missing.mdb"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.mdb"));
}

TEST(Compaction, ReopenGivesAWorkingStoreEvenWhenItFails) {
    TestFolder dir;
    const auto rows = prepareShrunkDatabase(dir.path());
    auto store = openStore(dir / kDatabaseFile);
    ASSERT_TRUE(compactAndReopen(store));
    ASSERT_TRUE(store);
    expectSameRows((*store->loadSnapshot())->rows(), rows);

    std::filesystem::remove(dir / kCompactTempFile);
    std::filesystem::create_directories(dir / kCompactTempFile / "inside");
    EXPECT_FALSE(compactAndReopen(store));
    ASSERT_TRUE(store) << "the old file is open again";
    expectSameRows((*store->loadSnapshot())->rows(), rows);
    EXPECT_TRUE(store->deleteLast().value());
}
