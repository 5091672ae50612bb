// SPDX-License-Identifier: GPL-3.0-or-later
#include "FollowSearch.h"
#include "ReferenceModel.h"
#include "SampleHistory.h"
#include "SearchTestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace brenvik;

using test::issuesOf;

namespace {

reference::Options referenceOptions(const FollowQuery& q) {
    reference::Options o;
    o.freePositions = q.freePositions;
    o.lastDraw = q.lastDraw;
    o.n = q.n;
    o.searchType = static_cast<int>(q.searchType);
    o.pattern = q.pattern;
    o.checked = q.checked;
    o.rangeStart = q.rangeStart;
    o.rangeEnd = q.rangeEnd;
    return o;
}

FollowQuery wholeRange(const SearchIndex& index) {
    FollowQuery q;
    q.rangeStart = index.history().first()->sqqh;
    q.rangeEnd = index.history().last()->sqqh;
    return q;
}

// Every mode, search type, set of checked positions and N against the reference.
void compareAllModes(const SnapshotPtr& history, std::mt19937& gen, int patternsPerCase, bool allN) {
    const SearchIndex index(history);
    const int outOfRange[] = {-1, 10, 12, 5, 6, 2, 32767};
    std::uniform_int_distribution<int> pick(0, 99);
    for (bool free : {true, false})
        for (bool last : {true, false})
            for (int n = 1; n <= 9; ++n) {
                if (last && n > 1)
                    break;
                if (!allN && n != 1 && n != 2 && n != 5 && n != 9)
                    continue;
                for (int type = 0; type < 4; ++type)
                    for (int checks = 0; checks < 8; ++checks)
                        for (int rep = 0; rep < patternsPerCase; ++rep) {
                            FollowQuery q = wholeRange(index);
                            q.freePositions = free;
                            q.lastDraw = last;
                            q.n = n;
                            q.searchType = static_cast<Kind>(type);
                            for (int p = 0; p < 3; ++p) {
                                q.checked[p] = checks & (1 << p);
                                const int roll = pick(gen);
                                const int range = counterSize(q.searchType) - (type == 3 ? 1 : 0);
                                q.pattern[p] = roll < 10 ? outOfRange[roll % 7]
                                                         : (roll % range) + (type == 3 ? roll % 2 : 0);
                            }
                            if (rep % 3 == 2) { // a part of the range
                                q.rangeStart = index.issue(index.size() / 4);
                                q.rangeEnd = index.issue(index.size() / 2) + 1;
                            }
                            const auto engine = issuesOf(index, followSearch(index, q));
                            const auto expected =
                                reference::followSearch(history->rows(), referenceOptions(q));
                            ASSERT_EQ(engine, expected)
                                << "free=" << free << " last=" << last << " n=" << n << " type=" << type
                                << " checks=" << checks << " pattern=" << q.pattern[0] << "," << q.pattern[1]
                                << "," << q.pattern[2];
                        }
            }
}

SnapshotPtr historyOf(const std::vector<std::array<int, 3>>& digits, std::int32_t first = 2013001) {
    std::vector<DrawLine> lines;
    for (std::size_t i = 0; i < digits.size(); ++i)
        lines.push_back({static_cast<std::int32_t>(first + i), digits[i]});
    return std::make_shared<const HistorySnapshot>(rowsFromDraws(lines, 1));
}

std::vector<std::int32_t> run(const SnapshotPtr& h, FollowQuery q) {
    const SearchIndex index(h);
    if (q.rangeEnd == 0) {
        q.rangeStart = h->first()->sqqh;
        q.rangeEnd = h->last()->sqqh;
    }
    return issuesOf(index, followSearch(index, q));
}

} // namespace

TEST(FollowSearch, AgreesWithTheReferenceOnRandomHistories) {
    std::mt19937 gen(20261207);
    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
        const auto history = test::randomHistory(seed, 120 + seed * 20, seed % 2 == 0, seed % 3 == 0);
        compareAllModes(history, gen, 2, true);
    }
}

TEST(FollowSearch, AgreesWithTheReferenceOnTheRealHistories) {
    std::mt19937 gen(7);
    for (const char* name : {"fc3d-history.txt", "pl3-history.txt"}) {
        const auto draws = test::sampleDraws(name);
        const auto history = std::make_shared<const HistorySnapshot>(rowsFromDraws(draws, 1));
        compareAllModes(history, gen, 1, false);
    }
}

TEST(FollowSearch, FreePositionTokens) {
    // Earlier draws 5 5 2, 2 5 5, 5 2 5 match the pattern 5 2 5; 5 2 2 and 5 5 5 do not.
    const auto h = historyOf({{5, 5, 2},
                              {0, 0, 0},
                              {2, 5, 5},
                              {0, 0, 1},
                              {5, 2, 5},
                              {0, 0, 2},
                              {5, 2, 2},
                              {0, 0, 3},
                              {5, 5, 5},
                              {0, 0, 4}});
    FollowQuery q;
    q.pattern = {5, 2, 5};
    EXPECT_EQ(run(h, q), (std::vector<std::int32_t>{2013002, 2013004, 2013006}));

    // Only position 3 checked with 7: any earlier draw holding a 7 anywhere.
    const auto h7 = historyOf({{7, 0, 0}, {1, 1, 1}, {0, 7, 7}, {2, 2, 2}, {0, 0, 1}, {3, 3, 3}});
    q.pattern = {9, 9, 7};
    q.checked = {false, false, true};
    EXPECT_EQ(run(h7, q), (std::vector<std::int32_t>{2013002, 2013004}));

    // Five alone: the token 1X5, met by any earlier draw with a 5.
    q.pattern = {5, 0, 0};
    q.checked = {true, false, false};
    EXPECT_EQ(run(h, q), (std::vector<std::int32_t>{2013002, 2013004, 2013006, 2013008, 2013010}));

    // Big/small 1 1 0: two big digits and one small one, in any order.
    const auto hb = historyOf({{9, 1, 8}, {0, 0, 0}, {9, 9, 9}, {0, 0, 0}, {1, 6, 7}, {0, 0, 0}});
    q.searchType = Kind::BigSmall;
    q.pattern = {1, 1, 0};
    q.checked = {true, true, true};
    EXPECT_EQ(run(hb, q), (std::vector<std::int32_t>{2013002, 2013006}));
}

TEST(FollowSearch, FixedPositions) {
    // Positions 1 and 3 checked, pattern 4 x 9: whatever the middle digit.
    const auto h = historyOf({{4, 0, 9}, {1, 1, 1}, {4, 8, 9}, {2, 2, 2}, {9, 0, 4}, {3, 3, 3}});
    FollowQuery q;
    q.freePositions = false;
    q.pattern = {4, 7, 9};
    q.checked = {true, false, true};
    EXPECT_EQ(run(h, q), (std::vector<std::int32_t>{2013002, 2013004}));
}

TEST(FollowSearch, FirstDrawRangeAndUncheckedPositions) {
    const auto h = historyOf({{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}});
    FollowQuery q;
    q.pattern = {0, 0, 0};
    for (bool free : {true, false}) {
        q.freePositions = free;
        q.checked = {true, true, true};
        EXPECT_EQ(run(h, q).front(), 2013002) << "the first draw has no draw before it";
        q.checked = {false, false, false};
        EXPECT_EQ(run(h, q).size(), 4u) << "no position checked selects every draw, the first included";
    }
    // The range is inclusive at both ends.
    q.checked = {true, true, true};
    q.rangeStart = 2013002;
    q.rangeEnd = 2013003;
    EXPECT_EQ(run(h, q), (std::vector<std::int32_t>{2013002, 2013003}));
    q.rangeStart = 2013004;
    q.rangeEnd = 2013003;
    EXPECT_TRUE(run(h, q).empty());
}

TEST(FollowSearch, NBack) {
    const auto h = historyOf({{1, 2, 3}, {0, 0, 0}, {4, 5, 6}, {1, 2, 3}, {7, 7, 7}, {0, 0, 0}});
    for (bool free : {true, false}) {
        FollowQuery q;
        q.freePositions = free;
        q.pattern = {1, 2, 3};
        // N = 1 selects what the last-draw mode selects.
        q.lastDraw = true;
        const auto last = run(h, q);
        q.lastDraw = false;
        q.n = 1;
        EXPECT_EQ(run(h, q), last);
        // N = 3: the draw three before is 1 2 3.
        q.n = 3;
        EXPECT_EQ(run(h, q), (std::vector<std::int32_t>{2013004}));
    }
    // Fixed position, N = 3, pattern 0 0 0: rows 1 and 2 have no draw three back and never match.
    FollowQuery q;
    q.freePositions = false;
    q.lastDraw = false;
    q.n = 3;
    q.pattern = {0, 0, 0};
    EXPECT_EQ(run(h, q), (std::vector<std::int32_t>{2013005}));
}

TEST(FollowSearch, PatternsOutOfRangeMatchNothing) {
    const auto h = historyOf({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
    for (bool free : {true, false})
        for (int bad : {-1, 10, 12}) {
            FollowQuery q;
            q.freePositions = free;
            q.pattern = {bad, 2, 3};
            EXPECT_TRUE(run(h, q).empty());
        }
}

TEST(FollowSearch, EmptyHistory) {
    const SearchIndex index(std::make_shared<const HistorySnapshot>());
    FollowQuery q;
    q.rangeStart = 0;
    q.rangeEnd = 9999999;
    EXPECT_TRUE(followSearch(index, q).rows.empty());
}

TEST(ReferenceModel, LikeWithWildcards) {
    EXPECT_TRUE(reference::like("1X5 2X5 1X3 ", "*2X5*"));
    EXPECT_TRUE(reference::like("1x5 ", "*1X5*"));
    EXPECT_FALSE(reference::like("1X1 2X1 1X0 ", "*1X10*"));
    EXPECT_FALSE(reference::like("", "*1X1*"));
}
