// SPDX-License-Identifier: GPL-3.0-or-later
// A folder written before each game kept its own history, upgraded; and a history of one game
// never opened for the other.
#include "DataFolderUpgrade.h"
#include "HistoryStore.h"
#include "SampleHistory.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

using namespace brenvik;
using brenvik::test::TestFolder;

TEST(GameHistory, AnOldHistoryTakesTheGameChosenThenAndIsRenamedOnce) {
    const auto old = test::syntheticDraws(30, 4), own = test::syntheticDraws(10, 5, 2020001);
    enum class Before { Unmarked, Pl3Beside, MarkedNotRenamed };
    struct Case {
        int gsZl;
        Before before;
        Game game;
        std::vector<std::string> files; // afterwards: no log left, nothing else renamed, the seal beside
        const char* says;
    };
    const std::vector<std::string> kept = {"kestrel3D.mdb", "kestrel3D.mdb-seal", "kestrel3DUndo.txt"},
                                   moved = {"kestrel3DUndo.txt", "kestrelPL3.mdb", "kestrelPL3.mdb-seal"};
    const Case cases[] = {
        {53, Before::Unmarked, Game::Fc3d, kept, "标明为福彩3D的历史。"},
        {3, Before::Unmarked, Game::Pl3, moved, "标明为体彩排列3的历史，已改名为 kestrelPL3.mdb"},
        {3,
         Before::Pl3Beside,
         Game::Pl3,
         {"kestrel3D.mdb", "kestrel3D.mdb-seal", "kestrel3DUndo.txt", "kestrelPL3.mdb",
          "kestrelPL3.mdb-seal"},
         "已存在，未改名"},
        {53, Before::MarkedNotRenamed, Game::Pl3, moved, "已改名为 kestrelPL3.mdb"}, // cut short earlier
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        TestFolder dir;
        test::writeUnmarkedDatabase(dir.path(), old);
        if (c.before == Before::MarkedNotRenamed)
            ASSERT_TRUE(HistoryStore::open(dir / kDatabaseFile, Game::Pl3));
        if (c.before == Before::Pl3Beside)
            test::writeDatabase(dir.path(), own, 1, Game::Pl3);
        test::writeFile(dir / "kestrel3DUndo.txt", "stays");
        ASSERT_TRUE(upgradeNeeded(dir.path()));

        const auto said = upgradeDataFolder(dir.path(), c.gsZl);
        ASSERT_TRUE(said) << said.error().message;
        EXPECT_NE(said->find(c.says), std::string::npos) << *said;
        EXPECT_EQ(test::folderContents(dir.path()), c.files);
        const auto where = dir / (c.files == moved ? databaseFileName(Game::Pl3) : kDatabaseFile);
        EXPECT_EQ(HistoryStore::markOf(where).value(), c.game);
        EXPECT_EQ(test::storedDraws(where, c.game), old);
        EXPECT_FALSE(upgradeNeeded(dir.path()));
        EXPECT_EQ(upgradeDataFolder(dir.path(), c.gsZl).value(), "") << "said once";
        if (c.before != Before::Pl3Beside)
            continue;
        // The other game's history is refused and left as it was.
        EXPECT_EQ(test::storedDraws(dir / databaseFileName(Game::Pl3), Game::Pl3), own);
        const std::string bytes = test::readFile(where);
        auto refused = HistoryStore::open(where, Game::Fc3d);
        ASSERT_FALSE(refused);
        EXPECT_NE(refused.error().message.find("存的是体彩排列3的历史号码"), std::string::npos);
        EXPECT_EQ(test::readFile(where), bytes);
    }
}
