// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryExport.h"
#include "HistoryRebuild.h"
#include "HistoryStore.h"
#include "PredictionLog.h"
#include "SafeWrite.h"
#include "SampleHistory.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace brenvik;
using test::TestFolder;

namespace {

std::unique_ptr<HistoryStore> openStore(const std::filesystem::path& file) {
    auto store = HistoryStore::open(file);
    EXPECT_TRUE(store.has_value()) << (store ? "" : store.error().message);
    return store ? std::move(*store) : nullptr;
}

HistorySnapshot historyOf(const std::vector<DrawLine>& draws) {
    return HistorySnapshot(rowsFromDraws(draws, 1));
}

bool mentions(const Error& e, std::string_view text) {
    return e.message.find(text) != std::string::npos;
}

} // namespace

TEST(HistoryExport, FileNamesCarryTheLastIssueAndTheGame) {
    const HistorySnapshot history = historyOf({{2013001, {1, 2, 3}}, {2013358, {4, 5, 6}}});
    EXPECT_EQ(exportFileName(Game::Fc3d, history), "更新至2013358期历史号码.txt");
    EXPECT_EQ(exportFileName(Game::Pl3, history), "更新至2013358期排列3历史号码.txt");
    EXPECT_EQ(exportFileName(Game::Fc3d, HistorySnapshot()), "更新至期历史号码.txt") << "no issue when empty";
    EXPECT_EQ(exportFileName(Game::Pl3, HistorySnapshot()), "更新至期排列3历史号码.txt");
    // The spreadsheets are named by their format.
    const std::pair<const char*, const char*> sheets[] = {
        {kHistorySheetFile, "lishiPL3.xlsx"},  {kMatchesSheetFile, "JiansuoPL3.xlsx"},
        {kResultSheetFile, "JieguoPL3.xlsx"},  {kBacktestSheetFile, "HuicePL3.xlsx"},
        {kTrendSheetFile, "ZoushiPL3.xlsx"},   {kLogbookSheetFile, "YucePL3.xlsx"},
        {kFilterSheetFile, "SuoshuiPL3.xlsx"}, {"name", "namePL3"}};
    for (const auto& [base, pl3] : sheets) {
        EXPECT_EQ(sheetFileName(Game::Fc3d, base), base);
        EXPECT_EQ(sheetFileName(Game::Pl3, base), pl3);
    }
}

TEST(HistoryExport, TextHasOneCrLfEndedLinePerDraw) {
    const std::vector<DrawLine> draws = {{123456, {9, 0, 0}}, {2013001, {1, 2, 3}}, {2013002, {0, 4, 5}}};
    // An issue below a million keeps seven digits, or it would fail the line test on reading.
    EXPECT_EQ(historyText(draws), "0123456 900\r\n2013001 123\r\n2013002 045\r\n");
    EXPECT_EQ(historyText({}), "");
    EXPECT_EQ(parseHistoryText(historyText(draws)).draws, draws);
}

TEST(HistoryExport, ExportThenImportGivesBackBothRealHistories) {
    for (const char* name : {"fc3d-history.txt", "pl3-history.txt"}) {
        SCOPED_TRACE(name);
        TestFolder dir;
        const auto draws = test::sampleDraws(name);
        test::writeDatabase(dir.path(), draws);
        auto store = openStore(dir / kDatabaseFile);
        auto snapshot = *store->loadSnapshot();

        auto written = exportHistory(dir.path(), Game::Fc3d, *snapshot);
        ASSERT_TRUE(written) << written.error().message;
        EXPECT_EQ(*written, dir.path() / utf8Path("更新至2026224期历史号码.txt"));
        // The real files are in the program's own format, so the export reproduces them byte for byte.
        EXPECT_EQ(test::readFile(*written), test::readFile(test::sampleFile(name)));

        TestFolder other;
        auto second = openStore(other / kDatabaseFile);
        auto counts = importHistoryFile(*second, *written, 1);
        ASSERT_TRUE(counts) << counts.error().message;
        EXPECT_EQ(counts->stored, static_cast<long long>(draws.size()));
        EXPECT_EQ(counts->skipped, 0);
        second.reset();
        EXPECT_EQ(test::storedDraws(other / kDatabaseFile), draws);
    }
}

TEST(HistoryExport, EmptyHistoryAndASecondExportOverwrite) {
    TestFolder dir;
    auto empty = exportHistory(dir.path(), Game::Fc3d, HistorySnapshot());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->filename(), utf8Path("更新至期历史号码.txt"));
    EXPECT_EQ(test::readFile(*empty), "");

    const auto draws = test::syntheticDraws(40, 5, 2013320);
    ASSERT_TRUE(exportHistory(dir.path(), Game::Fc3d, historyOf(draws)));
    auto shorter = std::vector(draws.begin(), draws.begin() + 3);
    shorter.push_back(draws.back());
    auto second = exportHistory(dir.path(), Game::Fc3d, historyOf(shorter));
    ASSERT_TRUE(second);
    EXPECT_EQ(test::readFile(*second), historyText(shorter)) << "the longer earlier file is replaced whole";
    EXPECT_EQ(test::folderContents(dir.path()).size(), 2u) << "no temporary file is left behind";
}

TEST(SafeWrite, AFailedWriteKeepsTheEarlierFile) {
    TestFolder dir;
    const auto target = dir / "lsbf.txt";
    test::writeFile(target, "2013001 123\r\n");

    {
        // A full disk: the new content does not fit.
        test::FileSizeLimit limit(4096);
        auto r = writeFileSafely(target, std::string(100000, '7'));
        ASSERT_FALSE(r);
        EXPECT_EQ(r.error().code, ErrorCode::Io);
        EXPECT_TRUE(mentions(r.error(), "lsbf.txt")) << r.error().message;
    }
    EXPECT_EQ(test::readFile(target), "2013001 123\r\n");
    EXPECT_EQ(test::folderContents(dir.path()), std::vector<std::string>{"lsbf.txt"});

    // A folder that is not there.
    auto missing = writeFileSafely(dir / "no-such-folder" / "x.txt", "1");
    ASSERT_FALSE(missing);
    EXPECT_TRUE(mentions(missing.error(), "x.txt"));

    // A folder in the place of the file.
    std::filesystem::create_directory(dir / "更新至期历史号码.txt");
    auto inTheWay = writeFileSafely(dir.path() / utf8Path("更新至期历史号码.txt"), "1");
    ASSERT_FALSE(inTheWay);
    EXPECT_TRUE(mentions(inTheWay.error(), "更新至期历史号码.txt")) << inTheWay.error().message;
    EXPECT_TRUE(std::filesystem::is_directory(dir / "更新至期历史号码.txt"));
    EXPECT_EQ(test::folderContents(dir.path()).size(), 2u) << "no temporary file is left behind";
}

TEST(SafeWrite, AReadOnlyFolderIsReported) {
    if (test::runningAsRoot())
        GTEST_SKIP() << "root writes into a read-only folder";
    TestFolder dir;
    const auto target = dir / "lsbf.txt";
    test::writeFile(target, "old");
    ::chmod(dir.path().c_str(), 0555);
    auto r = writeFileSafely(target, "new");
    ::chmod(dir.path().c_str(), 0755);
    ASSERT_FALSE(r);
    EXPECT_TRUE(mentions(r.error(), "lsbf.txt"));
    EXPECT_EQ(test::readFile(target), "old");
}

TEST(SafeWrite, CopyReplacesTheTargetWithTheWholeSource) {
    TestFolder dir;
    std::string big(3 << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 31 % 251);
    test::writeFile(dir / "source", big);
    test::writeFile(dir / "target", "old");
    ASSERT_TRUE(copyFileSafely(dir / "source", dir / "target"));
    EXPECT_EQ(test::readFile(dir / "target"), big);

    auto missing = copyFileSafely(dir / "none", dir / "target");
    ASSERT_FALSE(missing);
    EXPECT_TRUE(mentions(missing.error(), "none"));
    EXPECT_EQ(test::readFile(dir / "target"), big);
    EXPECT_EQ(test::folderContents(dir.path()), (std::vector<std::string>{"source", "target"}));
}

TEST(SafeWrite, AbandonedTemporariesAreSwept) {
    test::TestFolder dir;
    const char* names[] = {"lishi.xls.tmp.1234.0badf00d", "kestrel3D.mdb.tmp.7.89abcdef",
                           "notes.tmp.12.0badf00d",       "keep.txt",
                           "lsbf.txt.tmp.12.xyz",         "a.tmp.99.0badf00"};
    for (const char* n : names)
        test::writeFile(dir / n, "x");
    // Only a writer that died long ago leaves an old temporary; a fresh one may still be at work.
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(2);
    for (const char* n : {"lishi.xls.tmp.1234.0badf00d", "kestrel3D.mdb.tmp.7.89abcdef", "keep.txt",
                          "lsbf.txt.tmp.12.xyz", "a.tmp.99.0badf00"})
        std::filesystem::last_write_time(dir / n, old);
    EXPECT_EQ(removeAbandonedTemporaries(dir.path(), std::chrono::hours(1)), 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "lishi.xls.tmp.1234.0badf00d"));
    EXPECT_FALSE(std::filesystem::exists(dir / "kestrel3D.mdb.tmp.7.89abcdef"));
    for (const char* kept : {"notes.tmp.12.0badf00d", "keep.txt", "lsbf.txt.tmp.12.xyz", "a.tmp.99.0badf00"})
        EXPECT_TRUE(std::filesystem::exists(dir / kept)) << kept;
    // A temporary of this version is judged by its lock, not its age: one whose writer is at
    // work stays however old, one that nobody holds (its writer was killed) goes at once.
    auto pending = PendingFile::create(dir / "x.txt");
    ASSERT_TRUE(pending);
    std::filesystem::last_write_time(pending->temporary(), old);
    const auto abandoned = dir / ".brenvik3d-0123456789abcdef.tmp";
    test::writeFile(abandoned, "x");
    EXPECT_EQ(removeAbandonedTemporaries(dir.path(), std::chrono::hours(1)), 1);
    EXPECT_FALSE(std::filesystem::exists(abandoned));
    EXPECT_TRUE(std::filesystem::exists(pending->temporary()));
    ASSERT_TRUE(pending->write("kept") && pending->commit());
    EXPECT_EQ(test::readFile(dir / "x.txt"), "kept");
}
