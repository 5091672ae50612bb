#include "GameCheck.h"

#include <gtest/gtest.h>

using namespace brenvik;

TEST(GameCheck, AFileThatDiffersInMoreThanHalfOfTheSharedIssuesLooksLikeTheOtherGame) {
    const std::vector<DrawLine> stored = {
        {2013001, {1, 2, 3}}, {2013002, {4, 5, 6}}, {2013003, {7, 8, 9}}, {2013004, {0, 0, 1}}};
    const HistorySnapshot history(rowsFromDraws(stored, 1));
    struct Case {
        const char* what;
        std::vector<DrawLine> file;
        long long shared, different;
        bool other;
    };
    const Case cases[] = {
        {"no issue in common", {{2012358, {1, 2, 3}}, {2013005, {1, 1, 1}}}, 0, 0, false},
        {"the same draws and newer ones",
         {stored[0], stored[1], stored[2], stored[3], {2013005, {5, 5, 5}}},
         4,
         0,
         false},
        {"half of them differ",
         {stored[0], stored[1], {2013003, {7, 8, 0}}, {2013004, {1, 0, 0}}},
         4,
         2,
         false},
        {"more than half differ",
         {{2013001, {3, 2, 1}}, stored[1], {2013004, {9, 0, 1}}, {2014001, {1, 1, 1}}},
         3,
         2,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SharedIssues s = compareIssues(history, c.file);
        EXPECT_EQ(s.shared, c.shared);
        EXPECT_EQ(s.different, c.different);
        EXPECT_EQ(s.looksLikeOtherGame(), c.other);
    }
    EXPECT_EQ(otherGameNotice(Game::Pl3, compareIssues(history, cases[3].file)),
              "文件与当前彩种（体彩排列3）的历史号码不符：共同的 3 期中 2 期不同。");
}
