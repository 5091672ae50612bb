// Each game's history file: its mark, and the upgrade of a folder written before there was one.
#include "DataFolderUpgrade.h"
#include "HistoryStore.h"
#include "SampleHistory.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace brenvik;
using brenvik::test::TestFolder;

TEST(GameHistory, AHistoryOpensOnlyForItsOwnGame) {
    TestFolder dir;
    const auto draws = test::syntheticDraws(20, 3);
    test::writeDatabase(dir.path(), draws, 1, Game::Pl3);
    const auto file = dir / databaseFileName(Game::Pl3);
    EXPECT_EQ(HistoryStore::markOf(file).value(), Game::Pl3);
    const std::string before = test::readFile(file);
    auto other = HistoryStore::open(file, Game::Fc3d);
    ASSERT_FALSE(other);
    EXPECT_EQ(other.error().code, ErrorCode::NotOurs);
    EXPECT_NE(other.error().message.find("存的是体彩排列3的历史号码"), std::string::npos)
        << other.error().message;
    EXPECT_EQ(test::readFile(file), before);

    // A history written before the mark existed takes the game it is opened for.
    test::writeUnmarkedDatabase(dir.path(), draws);
    const auto old = dir / kDatabaseFile;
    EXPECT_EQ(HistoryStore::markOf(old).value(), std::nullopt);
    EXPECT_EQ(test::storedDraws(old, Game::Pl3), draws);
    EXPECT_EQ(HistoryStore::markOf(old).value(), Game::Pl3);
}

TEST(GameHistory, AnOldFolderIsMarkedWithTheGameChosenThenAndRenamedOnce) {
    const auto old = test::syntheticDraws(30, 4);
    const auto own = test::syntheticDraws(10, 5, 2020001);
    enum class Before { Unmarked, Pl3Beside, MarkedNotRenamed };
    struct Case {
        const char* what;
        int gsZl;
        Before before;
        Game game;
        std::vector<std::string> files; // what the folder holds afterwards: no log left behind
        const char* says;
    };
    const Case cases[] = {
        {"福彩3D", 53, Before::Unmarked, Game::Fc3d, {"kestrel3D.mdb", "kestrel3DUndo.txt"}, "标明为福彩3D"},
        {"a value of neither game",
         12,
         Before::Unmarked,
         Game::Fc3d,
         {"kestrel3D.mdb", "kestrel3DUndo.txt"},
         "标明为福彩3D"},
        {"体彩排列3",
         3,
         Before::Unmarked,
         Game::Pl3,
         {"kestrel3DUndo.txt", "kestrelPL3.mdb"},
         "标明为体彩排列3的历史，已改名为 kestrelPL3.mdb"},
        {"体彩排列3 beside a history of its own",
         3,
         Before::Pl3Beside,
         Game::Pl3,
         {"kestrel3D.mdb", "kestrel3DUndo.txt", "kestrelPL3.mdb"},
         "kestrelPL3.mdb 已存在，未改名"},
        {"an upgrade cut short before the rename",
         53,
         Before::MarkedNotRenamed,
         Game::Pl3,
         {"kestrel3DUndo.txt", "kestrelPL3.mdb"},
         "已改名为 kestrelPL3.mdb"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestFolder dir;
        if (c.before == Before::MarkedNotRenamed) {
            test::writeDatabase(dir.path(), old, 1, Game::Pl3);
            std::filesystem::rename(dir / databaseFileName(Game::Pl3), dir / kDatabaseFile);
        } else {
            test::writeUnmarkedDatabase(dir.path(), old);
        }
        if (c.before == Before::Pl3Beside)
            test::writeDatabase(dir.path(), own, 1, Game::Pl3);
        test::writeFile(dir / "kestrel3DUndo.txt", "stays");
        ASSERT_TRUE(upgradeNeeded(dir.path()));

        const auto said = upgradeDataFolder(dir.path(), c.gsZl);
        ASSERT_TRUE(said) << said.error().message;
        EXPECT_NE(said->find(c.says), std::string::npos) << *said;
        EXPECT_EQ(test::folderContents(dir.path()), c.files);
        const auto where = std::ranges::find(c.files, kDatabaseFile) != c.files.end()
                               ? dir / kDatabaseFile
                               : dir / databaseFileName(Game::Pl3);
        EXPECT_EQ(HistoryStore::markOf(where).value(), c.game);
        EXPECT_EQ(test::storedDraws(where, c.game), old);
        if (c.before == Before::Pl3Beside)
            EXPECT_EQ(test::storedDraws(dir / databaseFileName(Game::Pl3), Game::Pl3), own);

        // Said once: the folder needs nothing more.
        EXPECT_FALSE(upgradeNeeded(dir.path()));
        EXPECT_EQ(upgradeDataFolder(dir.path(), c.gsZl).value(), "");
    }
}
