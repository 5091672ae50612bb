// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryText.h"
#include "SampleHistory.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

using namespace brenvik;

TEST(HistoryText, LineTest) {
    EXPECT_EQ(parseDrawLine("2013001 123"), (DrawLine{2013001, {1, 2, 3}}));
    EXPECT_EQ(parseDrawLine("2013002 045"), (DrawLine{2013002, {0, 4, 5}})) << "leading zeros are digits";
    EXPECT_EQ(parseDrawLine("2013002   045 "), (DrawLine{2013002, {0, 4, 5}}));
    EXPECT_FALSE(parseDrawLine("2013001 1234"));
    EXPECT_FALSE(parseDrawLine("2013001 12"));
    EXPECT_FALSE(parseDrawLine("2013001 12a"));
    EXPECT_FALSE(parseDrawLine("2013001 1 2 3"));
    EXPECT_FALSE(parseDrawLine("201300 1234"));
    EXPECT_FALSE(parseDrawLine("0000000 123")) << "issue below 1";
    EXPECT_FALSE(parseDrawLine("2013001\t\t\t123"));
    EXPECT_FALSE(parseDrawLine(""));
}

TEST(HistoryText, OnlyDrawLinesAreRead) {
    const auto file = parseHistoryText("2013001 123\r\n\r\n期号 开奖号码\r\n2013002 045\r\n");
    ASSERT_EQ(file.draws.size(), 2u);
    EXPECT_EQ(file.draws[0], (DrawLine{2013001, {1, 2, 3}}));
    EXPECT_EQ(file.draws[1], (DrawLine{2013002, {0, 4, 5}}));
    EXPECT_EQ(file.lines, 4);
    EXPECT_EQ(file.skipped, 2);
}

TEST(HistoryText, LineEndsByteOrderMarkAndLongLines) {
    EXPECT_EQ(parseHistoryText("2013001 123\n2013002 456").draws.size(), 2u) << "LF only, no final line end";
    EXPECT_EQ(parseHistoryText("2013001 123\r2013002 456\r").draws.size(), 2u) << "CR only";
    const auto bom = parseHistoryText("\xEF\xBB\xBF"
                                      "2013001 123\r\n");
    ASSERT_EQ(bom.draws.size(), 1u);
    EXPECT_EQ(bom.draws[0].issue, 2013001);

    std::string huge = "2013001 123" + std::string(1 << 20, 'x') + "\r\n2013002 456\r\n";
    auto h = parseHistoryText(huge);
    ASSERT_EQ(h.draws.size(), 1u) << "the first line's digit text runs on into garbage";
    EXPECT_EQ(h.draws[0].issue, 2013002);
    // Characters after the sixth one behind the blank do not matter.
    EXPECT_EQ(parseHistoryText("2013001 123   2013-01-01 星期二\n").draws.size(), 1u);
}

TEST(HistoryText, RepeatedIssuesAreSkippedAndCounted) {
    const auto f = parseHistoryText("2013001 123\n2013002 456\n2013001 789\n");
    ASSERT_EQ(f.draws.size(), 2u);
    EXPECT_EQ(f.duplicates, 1);
    EXPECT_EQ(f.draws[0].digits, (std::array<int, 3>{1, 2, 3})) << "the first line of an issue counts";
}

TEST(HistoryText, BinaryGarbageYieldsNothing) {
    std::string junk;
    for (int i = 0; i < 100000; ++i)
        junk += static_cast<char>((i * 7919) % 256);
    const auto f = parseHistoryText(junk);
    EXPECT_TRUE(f.draws.empty());
}

TEST(HistoryText, MissingFileIsAnError) {
    test::TestFolder dir;
    auto r = readHistoryFile(dir / "none.txt");
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().code, ErrorCode::Io);
}

TEST(HistoryText, RealHistoriesReadCompletely) {
    EXPECT_EQ(test::sampleDraws("fc3d-history.txt").size(), 7731u);
    const auto pl3 = test::sampleDraws("pl3-history.txt");
    EXPECT_EQ(pl3.size(), 7699u);
    EXPECT_EQ(pl3.front().issue, 2004001);
    EXPECT_EQ(pl3.back().issue, 2026224);
}
