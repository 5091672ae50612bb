// SPDX-License-Identifier: GPL-3.0-or-later
#include "GameCheck.h"

#include <gtest/gtest.h>

using namespace brenvik;

TEST(GameCheck, AFileThatDiffersInMoreThanHalfOfTheSharedIssuesLooksLikeTheOtherGame) {
    const std::vector<DrawLine> stored = {{2013001, {1, 2, 3}}, {2013002, {4, 5, 6}}, {2013003, {7, 8, 9}}};
    const HistorySnapshot history(rowsFromDraws(stored, 1));
    const DrawLine same = {2013002, {4, 5, 6}}, other = {2013003, {7, 8, 0}}, newer = {2014001, {1, 1, 1}};
    const std::pair<std::vector<DrawLine>, std::string> cases[] = {
        {{newer}, "0/0"},
        {{same, newer}, "1/0"},
        {{same, other}, "2/1"},
        {{{2013001, {3, 2, 1}}, same, other, newer}, "3/2 other"},
    };
    for (const auto& [file, expected] : cases) {
        const SharedIssues s = compareIssues(history, file);
        EXPECT_EQ(std::to_string(s.shared) + "/" + std::to_string(s.different) +
                      (s.looksLikeOtherGame() ? " other" : ""),
                  expected);
    }
    EXPECT_EQ(otherGameNotice(Game::Pl3, compareIssues(history, cases[3].first)),
              "文件与当前彩种（体彩排列3）的历史号码不符：共同的 3 期中 2 期不同。");
}
