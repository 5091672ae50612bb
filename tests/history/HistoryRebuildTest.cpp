// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryRebuild.h"
#include "HistoryExport.h"
#include "HistoryStore.h"
#include "SafeWrite.h"
#include "SampleHistory.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

using namespace brenvik;
using test::TestFolder;

namespace {

// A data folder with an open history database holding `draws`.
class History {
public:
    explicit History(const std::vector<DrawLine>& draws = {}, int segmentParam = 1) {
        auto store = HistoryStore::open(m_dir / kDatabaseFile);
        if (!store)
            throw std::runtime_error(store.error().message);
        m_store = std::move(*store);
        if (!draws.empty() && !m_store->replaceAll(rowsFromDraws(draws, segmentParam)))
            throw std::runtime_error("cannot store the draws");
    }

    HistoryStore& store() { return *m_store; }
    const std::filesystem::path& folder() const { return m_dir.path(); }
    std::filesystem::path operator/(std::string_view name) const { return m_dir / name; }

    std::vector<DrawRow> rows() const { return (*m_store->loadSnapshot())->rows(); }
    std::vector<DrawLine> draws() const { return drawLinesOf(rows()); }

private:
    TestFolder m_dir;
    std::unique_ptr<HistoryStore> m_store;
};

const Summaries kNoSummaries{};
const DrawCodes kNoCodes{};

} // namespace

// --- Import -------------------------------------------------------------------------------

TEST(Import, StoresTheDrawLinesOfTheFileInFileOrder) {
    History h(test::syntheticDraws(30, 1));
    test::writeFile(h / "a.txt", "2013001 123\r\n\r\n期号 开奖号码\r\n2013002 045\r\n");
    auto counts = importHistoryFile(h.store(), h / "a.txt", 1);
    ASSERT_TRUE(counts) << counts.error().message;
    EXPECT_EQ(counts->stored, 2);
    EXPECT_EQ(counts->skipped, 2);
    EXPECT_EQ(counts->duplicates, 0);
    EXPECT_EQ(h.draws(), (std::vector<DrawLine>{{2013001, {1, 2, 3}}, {2013002, {0, 4, 5}}}));
}

TEST(Import, RowsCarryTheRunningStateFromAnEmptyHistory) {
    History h(test::syntheticDraws(5, 2, 2020001));
    const auto draws = test::syntheticDraws(50, 3);
    ASSERT_TRUE(writeHistoryFile(h / "a.txt", draws));
    ASSERT_TRUE(importHistoryFile(h.store(), h / "a.txt", 0));
    const auto rows = h.rows();
    const auto expected = rowsFromDraws(draws, 0);
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i].own, expected[i].own);
        EXPECT_EQ(rows[i].prev, expected[i].prev);
        EXPECT_EQ(rows[i].back, expected[i].back);
        EXPECT_EQ(rows[i].last, expected[i].last);
        EXPECT_EQ(rows[i].qqh, draws[i].issue + 1);
        EXPECT_EQ(rows[i].pre, kNoSummaries) << "only a rebuild fills the N-back texts";
    }
    EXPECT_EQ(rows[0].prev, kNoCodes) << "the old history does not seed the first row";
    EXPECT_EQ(rows[0].last, kNoSummaries);
}

TEST(Import, MalformedDigitTextsAndRepeatedIssuesAreSkipped) {
    History h;
    test::writeFile(h / "a.txt",
                    "2013001 1234\r\n2013002 12\r\n2013003 789\r\n2013003 111\r\n2013004 000\r\n");
    auto counts = importHistoryFile(h.store(), h / "a.txt", 1);
    ASSERT_TRUE(counts) << counts.error().message;
    EXPECT_EQ(counts->stored, 2);
    EXPECT_EQ(counts->skipped, 2);
    EXPECT_EQ(counts->duplicates, 1);
    EXPECT_EQ(h.draws(), (std::vector<DrawLine>{{2013003, {7, 8, 9}}, {2013004, {0, 0, 0}}}));
}

TEST(Import, AFileWithoutDrawsKeepsTheHistory) {
    for (const std::string content : {"", "\r\n\r\n", "期号 开奖号码\r\n", "2013001,1,2,3\r\n"}) {
        const auto old = test::syntheticDraws(30, 1);
        History h(old);
        test::writeFile(h / "a.txt", content);
        auto counts = importHistoryFile(h.store(), h / "a.txt", 1);
        ASSERT_FALSE(counts);
        EXPECT_EQ(counts.error().message, kNoDrawsInFile);
        EXPECT_EQ(h.draws(), old);
    }
}

TEST(Import, AFileThatCannotBeReadKeepsTheHistory) {
    const auto old = test::syntheticDraws(30, 1);
    History h(old);
    auto missing = importHistoryFile(h.store(), h / "none.txt", 1);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ErrorCode::Io);
    EXPECT_NE(missing.error().message.find("none.txt"), std::string::npos) << missing.error().message;

    // Only a regular file is a history file.
    std::filesystem::create_directory(h / "folder.txt");
    EXPECT_FALSE(importHistoryFile(h.store(), h / "folder.txt", 1));

    EXPECT_FALSE(importHistoryFile(h.store(), test::sampleFile("fc3d-history.txt"), 2)) << "no such segment";
    EXPECT_EQ(h.draws(), old);
}

TEST(Import, AnyBytesInTheFileStoreOnlyDrawLines) {
    // Everything a user may pick as a history file, one after the other: LF and CR LF line
    // ends, a byte order mark, header lines in UTF-8 and in GBK, a line of a megabyte, binary
    // garbage and tabs after an issue.
    std::string content = "\xEF\xBB\xBF"
                          "2013001 123\n"
                          "福彩3D历史开奖号码\r\n"
                          "\xB8\xA3\xB2\xCA 3D\r\n"
                          "2013002 456\r\n";
    content += "2013003 789" + std::string(1 << 20, '9') + "\r\n";
    content += "2013004\t\t\t123\r\n2013005\t123\t\r\n";
    for (int i = 0; i < 200000; ++i)
        content += static_cast<char>((i * 7919 + 13) % 256);
    content += "\n2013006 000\n2013007 9";
    History h(test::syntheticDraws(3, 4));
    test::writeFile(h / "a.txt", content);
    auto counts = importHistoryFile(h.store(), h / "a.txt", 1);
    ASSERT_TRUE(counts) << counts.error().message;
    EXPECT_EQ(h.draws(),
              (std::vector<DrawLine>{{2013001, {1, 2, 3}}, {2013002, {4, 5, 6}}, {2013006, {0, 0, 0}}}));
    EXPECT_EQ(counts->stored, 3);
}

// --- Rebuild -----------------------------------------------------------------------------

TEST(Rebuild, WorkedExampleOfThreeDraws) {
    History h(test::syntheticDraws(10, 5));
    test::writeFile(h / kBackupFile, "2013001 123\r\n2013002 456\r\n2013003 789\r\n");
    auto counts = rebuildFromBackup(h.store(), h / kBackupFile, 1);
    ASSERT_TRUE(counts) << counts.error().message;
    EXPECT_EQ(counts->stored, 3);
    const auto rows = h.rows();
    ASSERT_EQ(rows.size(), 3u);

    EXPECT_EQ(rows[0].sqqh, 2013001);
    EXPECT_EQ(rows[0].last, kNoSummaries);
    EXPECT_EQ(rows[0].pre, kNoSummaries);
    EXPECT_EQ(rows[0].prev, kNoCodes);
    EXPECT_EQ(rows[0].back, kNoCodes);

    EXPECT_EQ(rows[1].last[0], "123");
    EXPECT_EQ(rows[1].last[1], "1X1 1X2 1X3 ");
    EXPECT_EQ(rows[1].prev[0][0], 1) << "L1AS";
    EXPECT_EQ(rows[1].back, kNoCodes);
    EXPECT_EQ(rows[1].pre, kNoSummaries);

    EXPECT_EQ(rows[2].last[0], "456");
    EXPECT_EQ(rows[2].pre[0], "123");
    EXPECT_EQ(rows[2].pre[1], "1X1 1X2 1X3 ");
    EXPECT_EQ(rows[2].pre, rows[1].last) << "all five N-back texts describe the draw two back";
    EXPECT_EQ(rows[2].prev[0][0], 4) << "L1AS";
    EXPECT_EQ(rows[2].back[0][0], 1) << "L1AP";
    EXPECT_EQ(rows[2].qqh, 2013004);
    EXPECT_TRUE(std::filesystem::exists(h / kBackupFile)) << "the backup stays";
}

TEST(Rebuild, NBackTextsFollowTheRowBeforeOverARealHistory) {
    const auto draws = test::sampleDraws("pl3-history.txt");
    History h;
    ASSERT_TRUE(writeHistoryFile(h / kBackupFile, draws));
    ASSERT_TRUE(rebuildFromBackup(h.store(), h / kBackupFile, 1));
    const auto rows = h.rows();
    const auto plain = rowsFromDraws(draws, 1);
    ASSERT_EQ(rows.size(), draws.size());
    EXPECT_EQ(rows[1].pre, kNoSummaries);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].own, plain[i].own) << i;
        ASSERT_EQ(rows[i].last, plain[i].last) << i;
        ASSERT_EQ(rows[i].back, plain[i].back) << i;
        if (i >= 2) {
            ASSERT_EQ(rows[i].pre, summariesOf(rows[i - 2].own)) << i;
        }
    }
    EXPECT_EQ(rebuiltRows(draws, 1).back().pre, rows.back().pre);
}

TEST(Rebuild, RederivesTheSegmentsWithTheParameterInForce) {
    const std::vector<DrawLine> draws = {{2013001, {0, 1, 9}}, {2013002, {1, 0, 8}}};
    History h(draws, 0);
    ASSERT_EQ(h.rows()[0].own[0][3], 0) << "stored with segments 0..4";
    ASSERT_TRUE(writeHistoryFile(h / kBackupFile, draws));
    ASSERT_TRUE(rebuildFromBackup(h.store(), h / kBackupFile, 1));
    const auto rows = h.rows();
    for (const DrawRow& r : rows)
        for (int p = 0; p < 3; ++p)
            EXPECT_EQ(r.own[p][3], r.own[p][0] / 2 + 1) << r.sqqh << " position " << p + 1;
    EXPECT_EQ(rows[1].prev[0][3], 1) << "the S segment of digit 0";
    EXPECT_EQ(rows[1].last[4], "1X1 2X1 1X5 ");
}

TEST(Rebuild, AMissingOrUnreadableBackupKeepsTheHistory) {
    const auto old = test::syntheticDraws(25, 6);
    History h(old);
    auto missing = rebuildFromBackup(h.store(), h / kBackupFile, 1);
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error().message.find("lsbf.txt"), std::string::npos) << missing.error().message;
    std::filesystem::create_directory(h / kBackupFile);
    EXPECT_FALSE(rebuildFromBackup(h.store(), h / kBackupFile, 1));
    EXPECT_EQ(h.draws(), old);
}

// --- Deleting ----------------------------------------------------------------------------

TEST(Deleting, DownToAnIssueKeepsEverythingUpToIt) {
    const auto draws = test::syntheticDraws(40, 7, 2013339); // ends with 2014020
    ASSERT_EQ(draws.back().issue, 2014020);
    EXPECT_EQ(drawsUpTo(HistorySnapshot(rowsFromDraws(draws, 1)), 2014016)->back().issue, 2014016);

    History h(draws);
    auto counts = deleteDownTo(h.store(), h.folder(), 2014016, 1);
    ASSERT_TRUE(counts) << counts.error().message;
    const auto kept = std::vector(draws.begin(), draws.end() - 4);
    EXPECT_EQ(h.draws(), kept);
    EXPECT_EQ(counts->stored, 36);
    EXPECT_EQ(test::readFile(h / kBackupFile), historyText(kept));
    EXPECT_EQ(h.rows()[5].pre, h.rows()[4].last) << "the history was rebuilt";
}

TEST(Deleting, TheLastThreeAcrossAYearEnd) {
    const std::vector<DrawLine> draws = {{2013356, {1, 1, 1}},
                                         {2013357, {2, 2, 2}},
                                         {2013358, {3, 3, 3}},
                                         {2014001, {4, 4, 4}},
                                         {2014002, {5, 5, 5}}};
    History h(draws);
    auto counts = deleteLastDraws(h.store(), h.folder(), 3, 1);
    ASSERT_TRUE(counts) << counts.error().message;
    EXPECT_EQ(h.draws(), (std::vector<DrawLine>{{2013356, {1, 1, 1}}, {2013357, {2, 2, 2}}}));
    EXPECT_EQ(test::readFile(h / kBackupFile), "2013356 111\r\n2013357 222\r\n");

    ASSERT_TRUE(deleteLastDraws(h.store(), h.folder(), 5, 1)) << "more than there are";
    EXPECT_TRUE(h.rows().empty());
}

TEST(Deleting, NothingOutsideTheHistoryOrBelowOneIsDeletedOrWritten) {
    const auto draws = test::syntheticDraws(10, 8, 2013340);
    History h(draws);
    test::writeFile(h / kBackupFile, "earlier backup");
    // Before the first stored issue (201416 is 2014016 with a digit lost), past the last, below 1.
    for (std::int32_t lastKept : {2013339, 201416, 2014016, 0, -5})
        EXPECT_FALSE(deleteDownTo(h.store(), h.folder(), lastKept, 1)) << lastKept;
    EXPECT_FALSE(deleteLastDraws(h.store(), h.folder(), 0, 1));
    EXPECT_EQ(h.draws(), draws);
    EXPECT_EQ(test::readFile(h / kBackupFile), "earlier backup");
}

TEST(Deleting, ABackupThatCannotBeWrittenKeepsTheHistory) {
    const auto draws = test::syntheticDraws(10, 8);
    History h(draws);
    std::filesystem::create_directories(h / kBackupFile / "inside");
    auto r = deleteLastDraws(h.store(), h.folder(), 2, 1);
    ASSERT_FALSE(r);
    EXPECT_NE(r.error().message.find("lsbf.txt"), std::string::npos) << r.error().message;
    EXPECT_EQ(h.draws(), draws);
}
