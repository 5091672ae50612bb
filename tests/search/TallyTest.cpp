// SPDX-License-Identifier: GPL-3.0-or-later
#include "Tally.h"
#include "HistoryText.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace brenvik;

namespace {

HistorySnapshot historyOf(const std::vector<std::array<int, 3>>& digits, int segmentParam = 1) {
    std::vector<DrawLine> lines;
    for (std::size_t i = 0; i < digits.size(); ++i)
        lines.push_back({static_cast<std::int32_t>(2013001 + i), digits[i]});
    return HistorySnapshot(rowsFromDraws(lines, segmentParam));
}

std::vector<std::uint32_t> all(const HistorySnapshot& h) {
    std::vector<std::uint32_t> v(h.size());
    std::iota(v.begin(), v.end(), 0u);
    return v;
}

} // namespace

TEST(Tally, NumberKindCountsTheResultPositionOrPositionsUpToIt) {
    std::vector<std::array<int, 3>> digits;
    for (int i = 0; i < 40; ++i)
        digits.push_back({i % 10, (i * 3) % 10, 7});
    const auto h = historyOf(digits);
    const auto matched = all(h);

    const Tally direct = tallyOutcomes(h, matched, Kind::Number, 2, false, 1);
    ASSERT_EQ(direct.byOutcome.size(), 10u);
    int sum = 0;
    for (auto [o, c] : direct.byOutcome)
        sum += c;
    EXPECT_EQ(sum, 40);
    EXPECT_EQ(direct.denominator, 40);

    const Tally group = tallyOutcomes(h, matched, Kind::Number, 2, true, 1);
    sum = 0;
    for (auto [o, c] : group.byOutcome)
        sum += c;
    EXPECT_EQ(sum, 80);
    EXPECT_EQ(group.denominator, 80);

    const Tally first = tallyOutcomes(h, matched, Kind::Number, 1, true, 1);
    EXPECT_EQ(first.denominator, 40) << "result position 1 with the group flag counts position 1 only";

    const Tally third = tallyOutcomes(h, matched, Kind::Number, 3, true, 1);
    EXPECT_EQ(third.denominator, 120);
    EXPECT_EQ(third.ranked.front().outcome, 7);
    EXPECT_EQ(third.ranked.front().count, 40 + 4 + 4);
}

TEST(Tally, RankedByCountThenOutcomeWithLabels) {
    const auto h = historyOf({{1, 0, 0}, {6, 0, 0}, {2, 0, 0}, {7, 0, 0}, {8, 0, 0}});
    const Tally t = tallyOutcomes(h, all(h), Kind::BigSmall, 1, false, 1);
    ASSERT_EQ(t.ranked.size(), 2u);
    EXPECT_EQ(t.ranked[0].label, "大");
    EXPECT_EQ(t.ranked[0].count, 3);
    EXPECT_EQ(t.ranked[1].label, "小");
    EXPECT_EQ(t.percentText(3), "60.000%");
    EXPECT_EQ(t.percentText(2), "40.000%");

    const Tally n = tallyOutcomes(h, all(h), Kind::Number, 1, false, 1);
    // Five outcomes occurred once each, in ascending order, then the five that never occurred.
    std::vector<int> order;
    for (const auto& r : n.ranked)
        order.push_back(r.outcome);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 6, 7, 8, 0, 3, 4, 5, 9}));
    EXPECT_EQ(n.percentText(0), "0.000%");
    EXPECT_EQ(n.percentText(1), "20.000%");
}

TEST(Tally, SegmentOutcomesFollowTheParameterInForce) {
    const auto h = historyOf({{0, 0, 0}, {9, 9, 9}}, 1);
    const Tally one = tallyOutcomes(h, all(h), Kind::Segment, 1, false, 1);
    ASSERT_EQ(one.byOutcome.size(), 5u);
    EXPECT_EQ(one.byOutcome.front(), (std::pair<int, int>{1, 1}));
    EXPECT_EQ(one.byOutcome.back(), (std::pair<int, int>{5, 1}));
    const Tally zero = tallyOutcomes(h, all(h), Kind::Segment, 1, false, 0);
    EXPECT_EQ(zero.byOutcome.front(), (std::pair<int, int>{0, 0}));
    EXPECT_EQ(zero.byOutcome.back(), (std::pair<int, int>{4, 0})) << "rows stored with 1..5 keep their codes";
    EXPECT_EQ(one.dropped, 0);
    EXPECT_EQ(zero.dropped, 1)
        << "the 9 stored as segment 5 is no outcome of 0..4, and is said to be left out";
    EXPECT_EQ(zero.denominator, 2);
}

TEST(Tally, StoredSegmentsTellWhichParameterEachRowWasWrittenWith) {
    // Three draws written under parameter 1, then two after the setting changed to 0: the first of
    // those carries the earlier draw's codes as they were written, under 1.
    std::vector<DrawRow> mixed;
    RunningState state = RunningState::empty();
    for (int i = 0; i < 5; ++i)
        mixed.push_back(appendDraw(2013001 + i, {i, 9 - i, 2 * i}, i < 3 ? 1 : 0, state));
    struct Case {
        HistorySnapshot history;
        std::size_t withZero, withOne, neither;
    } cases[] = {
        {historyOf({{0, 1, 9}, {8, 0, 1}, {5, 5, 5}}, 1), 0, 3, 0},
        {historyOf({{0, 1, 9}, {8, 0, 1}}, 0), 2, 0, 0},
        {HistorySnapshot(mixed), 1, 3, 1},
    };
    for (const Case& c : cases) {
        const StoredSegments s = storedSegments(c.history);
        EXPECT_EQ(s.withParam[0], c.withZero);
        EXPECT_EQ(s.withParam[1], c.withOne);
        EXPECT_EQ(s.neither, c.neither);
    }
    EXPECT_EQ(storedSegments(HistorySnapshot(mixed)).disagreeing(0), 4u);
}

TEST(Tally, NoMatchedDrawListsEveryOutcomeWithADash) {
    const auto h = historyOf({{1, 2, 3}});
    const Tally t = tallyOutcomes(h, {}, Kind::OddEven, 3, true, 1);
    EXPECT_EQ(t.denominator, 0);
    ASSERT_EQ(t.ranked.size(), 2u);
    EXPECT_EQ(t.ranked[0].label, "双");
    EXPECT_EQ(t.ranked[0].count, 0);
    EXPECT_EQ(t.percentText(0), "-");
}
