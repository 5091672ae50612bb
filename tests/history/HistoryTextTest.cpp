// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryText.h"
#include "SampleHistory.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace brenvik;

// A draw line is a seven-digit issue, blanks and three digits; whatever else a line holds makes it
// no draw line, never a draw other than the one written.
TEST(HistoryText, LineForms) {
    const std::vector<std::pair<const char*, std::optional<DrawLine>>> lines = {
        {"2013001 123", DrawLine{2013001, {1, 2, 3}}},
        {"2013002 045", DrawLine{2013002, {0, 4, 5}}}, // leading zeros are digits
        {"2013002    045   ", DrawLine{2013002, {0, 4, 5}}},
        {"20130050 456", std::nullopt}, // an eighth digit of the issue
        {"201300 123", std::nullopt},
        {"2013001 12", std::nullopt},
        {"2013001 0789", std::nullopt},
        {"2013001 000123", std::nullopt},
        {"2013001 1 2 3", std::nullopt},
        {"2013001 +123", std::nullopt},
        {"2013001 -12", std::nullopt},
        {"-2013001 123", std::nullopt},
        {"2013001 12a", std::nullopt},
        {"2013001 12３", std::nullopt}, // a full-width digit
        {"2013001\t123", std::nullopt},
        {"2013001     123", std::nullopt}, // the digits start at the thirteenth character
        {"2013001 123 2013-01-01", std::nullopt},
        {"2013001123", std::nullopt},
        {" 2013001 123", std::nullopt},
        {"0000000 123", std::nullopt}, // issue below 1
        {"", std::nullopt},
    };
    for (const auto& [line, draw] : lines) {
        EXPECT_EQ(parseDrawLine(line), draw) << line;
        const auto file = parseHistoryText(std::string(line) + "\r\n");
        EXPECT_EQ(file.draws.size(), draw ? 1u : 0u) << line;
        EXPECT_EQ(file.skipped, draw ? 0 : 1) << "every other line is counted: " << line;
    }
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
    EXPECT_EQ(parseHistoryText("2013001 123" + std::string(1 << 16, ' ') + "\n").draws.size(), 1u)
        << "blanks after the digits, however many";
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
