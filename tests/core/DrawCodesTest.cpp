// SPDX-License-Identifier: GPL-3.0-or-later
#include "DrawCodes.h"
#include "DrawRow.h"

#include <gtest/gtest.h>

using namespace brenvik;

namespace {

struct Worked {
    std::array<int, 3> digits;
    std::array<int, 3> bigSmall, oddEven, segment;
    const char* text;
    const char* number;
    const char* big;
    const char* odd;
    const char* seg;
};

// The worked table, segment parameter 0.
const Worked kWorked[] = {
    {{5, 5, 3},
     {1, 1, 0},
     {1, 1, 1},
     {2, 2, 1},
     "553",
     "1X5 2X5 1X3 ",
     "1X1 2X1 1X0 ",
     "1X1 2X1 3X1 ",
     "1X2 2X2 1X1 "},
    {{0, 0, 0},
     {0, 0, 0},
     {0, 0, 0},
     {0, 0, 0},
     "000",
     "1X0 2X0 3X0 ",
     "1X0 2X0 3X0 ",
     "1X0 2X0 3X0 ",
     "1X0 2X0 3X0 "},
    {{9, 8, 7},
     {1, 1, 1},
     {1, 0, 1},
     {4, 4, 3},
     "987",
     "1X9 1X8 1X7 ",
     "1X1 2X1 3X1 ",
     "1X1 1X0 2X1 ",
     "1X4 2X4 1X3 "},
};

} // namespace

TEST(DrawCodes, WorkedValuesWithBothSegmentParameters) {
    for (const Worked& w : kWorked) {
        for (int p : {0, 1}) {
            const DrawCodes c = codesOfDraw(w.digits, p);
            for (int i = 0; i < 3; ++i) {
                EXPECT_EQ(c[i][0], w.digits[i]);
                EXPECT_EQ(c[i][1], w.bigSmall[i]);
                EXPECT_EQ(c[i][2], w.oddEven[i]);
                EXPECT_EQ(c[i][3], w.segment[i] + p) << "segment moves up with the parameter";
            }
            const Summaries s = summariesOf(c);
            EXPECT_EQ(s[0], w.text);
            EXPECT_EQ(s[1], w.number);
            EXPECT_EQ(s[2], w.big);
            EXPECT_EQ(s[3], w.odd);
            if (p == 0) {
                EXPECT_EQ(s[4], w.seg);
            }
            EXPECT_EQ(s[1].size(), 12u);
            EXPECT_EQ(s[4].back(), ' ');
        }
    }
}

TEST(DrawCodes, BoundariesOfTheCoarseCodes) {
    EXPECT_EQ(codesOf(4, 0)[1], 0);
    EXPECT_EQ(codesOf(5, 0)[1], 1);
    EXPECT_EQ(codesOf(0, 0)[2], 0);
    EXPECT_EQ(codesOf(9, 1)[3], 5);
    EXPECT_EQ(codesOf(0, 1)[3], 1);
    EXPECT_EQ(codesOf(1, 0)[3], 0);
    EXPECT_EQ(codesOf(8, 0)[3], 4);
}

TEST(DrawCodes, ColumnNamesAndLabels) {
    EXPECT_EQ(columnName(2, Kind::Segment), "L2F");
    EXPECT_EQ(columnName(2, Kind::Segment, Variant::Previous), "L2FS");
    EXPECT_EQ(columnName(1, Kind::Number, Variant::Back), "L1AP");
    EXPECT_EQ(columnName(3, Kind::OddEven), "L3E");
    EXPECT_EQ(outcomeLabel(Kind::BigSmall, 1), "大");
    EXPECT_EQ(outcomeLabel(Kind::BigSmall, 0), "小");
    EXPECT_EQ(outcomeLabel(Kind::OddEven, 1), "单");
    EXPECT_EQ(outcomeLabel(Kind::OddEven, 0), "双");
    EXPECT_EQ(outcomeLabel(Kind::Segment, 5), "5");
}

TEST(AppendDraw, RunningStateCarriesTheTwoDrawsBefore) {
    RunningState state = RunningState::empty();
    const DrawRow first = appendDraw(2013001, {1, 2, 3}, 0, state);
    const DrawRow second = appendDraw(2013002, {4, 5, 6}, 0, state);
    const DrawRow third = appendDraw(2013003, {7, 8, 9}, 0, state);

    // No draw before the first: zero codes, empty summaries.
    for (const auto& s : first.last)
        EXPECT_TRUE(s.empty());
    EXPECT_EQ(first.prev, DrawCodes{});
    EXPECT_EQ(first.back, DrawCodes{});
    EXPECT_EQ(first.qqh, 2013002);

    EXPECT_EQ(second.last[0], "123");
    EXPECT_EQ(second.last[1], "1X1 1X2 1X3 ");
    EXPECT_EQ(second.prev, first.own);
    EXPECT_EQ(second.back, DrawCodes{}) << "the second row has no draw two back";

    EXPECT_EQ(third.last[0], "456");
    EXPECT_EQ(third.prev[0][0], 4);
    EXPECT_EQ(third.back[0][0], 1);
    EXPECT_EQ(third.back, first.own);
    // Appending paths leave the N-back columns empty.
    for (const auto& s : third.pre)
        EXPECT_TRUE(s.empty());
}

TEST(AppendDraw, SeedingFromAStoredRowContinuesTheSameWay) {
    RunningState straight = RunningState::empty();
    appendDraw(2013001, {5, 5, 3}, 1, straight);
    const DrawRow stored = appendDraw(2013002, {9, 8, 7}, 1, straight);
    const DrawRow expected = appendDraw(2013003, {0, 4, 5}, 1, straight);

    RunningState seeded = RunningState::after(stored);
    const DrawRow again = appendDraw(2013003, {0, 4, 5}, 1, seeded);
    EXPECT_EQ(again.prev, expected.prev);
    EXPECT_EQ(again.back, expected.back);
    EXPECT_EQ(again.last, expected.last);
    EXPECT_EQ(again.back[0][0], 5) << "P codes come from the stored row's S codes";
}

TEST(AppendDraw, LastDrawOfAYearKeepsPlainArithmetic) {
    RunningState state;
    EXPECT_EQ(appendDraw(2013358, {1, 1, 1}, 1, state).qqh, 2013359);
}

TEST(AppendDraw, SegmentParameterIsBakedIntoTheRow) {
    RunningState state;
    const DrawRow a = appendDraw(2013001, {0, 1, 9}, 0, state);
    const DrawRow b = appendDraw(2013002, {0, 1, 9}, 1, state);
    EXPECT_EQ(a.own[0][3], 0);
    EXPECT_EQ(b.own[0][3], 1);
    EXPECT_EQ(b.prev[0][3], 0) << "the stored row before keeps its old segment";
    EXPECT_EQ(b.last[4], "1X0 2X0 1X4 ");
}
