// SPDX-License-Identifier: GPL-3.0-or-later
#include "CombinationSearch.h"
#include "ReferenceModel.h"
#include "SampleHistory.h"
#include "SearchTestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace brenvik;

using test::issuesOf;

namespace {

void compareAllModes(const SnapshotPtr& history, std::mt19937& gen, bool allN,
                     std::initializer_list<int> sizes) {
    const SearchIndex index(history);
    const int outOfRange[] = {-1, 10, 12, 5, 6, 2, 32767};
    std::uniform_int_distribution<int> pick(0, 99);
    for (bool free : {true, false})
        for (bool last : {true, false})
            for (int n = 1; n <= 9; ++n) {
                if (last && n > 1)
                    break;
                if (!allN && n != 1 && n != 3 && n != 9)
                    continue;
                for (int type = 0; type < 4; ++type)
                    for (int size : sizes) {
                        CombinationQuery q;
                        q.freePositions = free;
                        q.lastDraw = last;
                        q.n = n;
                        q.searchType = static_cast<Kind>(type);
                        q.size = size;
                        q.rangeStart = index.issue(0);
                        q.rangeEnd = index.issue(index.size() - 1);
                        for (int p = 0; p < 3; ++p) {
                            const int roll = pick(gen);
                            q.pattern[p] = roll < 8 ? outOfRange[roll % 7] : roll % counterSize(q.searchType);
                        }
                        if (pick(gen) < 25) {
                            q.rangeStart = index.issue(index.size() / 3);
                            q.rangeEnd = index.issue(index.size() - 2);
                        }
                        reference::Options o;
                        o.freePositions = free;
                        o.lastDraw = last;
                        o.n = n;
                        o.searchType = type;
                        o.pattern = q.pattern;
                        o.comboSize = size;
                        o.rangeStart = q.rangeStart;
                        o.rangeEnd = q.rangeEnd;
                        ASSERT_EQ(issuesOf(index, combinationSearch(index, q)),
                                  reference::combinationSearch(history->rows(), o))
                            << "free=" << free << " last=" << last << " n=" << n << " type=" << type
                            << " size=" << size << " pattern=" << q.pattern[0] << "," << q.pattern[1] << ","
                            << q.pattern[2];
                    }
            }
}

SnapshotPtr historyOf(const std::vector<std::array<int, 3>>& digits) {
    std::vector<DrawLine> lines;
    for (std::size_t i = 0; i < digits.size(); ++i)
        lines.push_back({static_cast<std::int32_t>(2013001 + i), digits[i]});
    return std::make_shared<const HistorySnapshot>(rowsFromDraws(lines, 1));
}

std::vector<std::int32_t> run(const SnapshotPtr& h, CombinationQuery q) {
    const SearchIndex index(h);
    q.rangeStart = h->first()->sqqh;
    q.rangeEnd = h->last()->sqqh;
    return issuesOf(index, combinationSearch(index, q));
}

} // namespace

TEST(CombinationSearch, PositionTuplesInLexicographicOrder) {
    EXPECT_EQ(positionCombinations(1), (std::vector<std::vector<int>>{{1}, {2}, {3}}));
    EXPECT_EQ(positionCombinations(2), (std::vector<std::vector<int>>{{1, 2}, {1, 3}, {2, 3}}));
    EXPECT_EQ(positionCombinations(3), (std::vector<std::vector<int>>{{1, 2, 3}}));
    EXPECT_TRUE(positionCombinations(4).empty());
    EXPECT_TRUE(positionCombinations(0).empty());
}

TEST(CombinationSearch, AgreesWithTheReferenceOnRandomHistories) {
    std::mt19937 gen(99);
    for (std::uint32_t seed = 11; seed <= 16; ++seed) {
        const auto history = test::randomHistory(seed, 100 + seed * 10, seed % 2 == 1, seed % 3 == 1);
        for (int rep = 0; rep < 3; ++rep)
            compareAllModes(history, gen, true, {-1, 0, 1, 2, 3, 4, 5, 6, 7});
    }
}

TEST(CombinationSearch, AgreesWithTheReferenceOnTheRealHistories) {
    std::mt19937 gen(3);
    for (const char* name : {"fc3d-history.txt", "pl3-history.txt"}) {
        const auto history =
            std::make_shared<const HistorySnapshot>(rowsFromDraws(test::sampleDraws(name), 1));
        compareAllModes(history, gen, false, {1, 2, 3, 4});
    }
}

TEST(CombinationSearch, FreePositionWithRepeatedValues) {
    // Pattern 5 5 3, size 2: the draw before holds two 5s, or a 5 and a 3.
    const auto h =
        historyOf({{5, 0, 5}, {1, 1, 1}, {3, 9, 5}, {2, 2, 2}, {5, 9, 9}, {4, 4, 4}, {3, 3, 0}, {0, 0, 0}});
    CombinationQuery q;
    q.pattern = {5, 5, 3};
    q.size = 2;
    EXPECT_EQ(run(h, q), (std::vector<std::int32_t>{2013002, 2013004}));

    // Fixed, size 3: only 5 5 3 in this order.
    const auto f = historyOf({{5, 5, 3}, {1, 1, 1}, {3, 5, 5}, {2, 2, 2}, {5, 5, 3}, {0, 0, 0}});
    q.freePositions = false;
    q.size = 3;
    EXPECT_EQ(run(f, q), (std::vector<std::int32_t>{2013002, 2013006}));
}

TEST(CombinationSearch, SizeOneLooksForEachValueOnItsOwn) {
    // 0 0 7, size 1: the tokens 1X0, 1X0 and 1X7.
    const auto h = historyOf({{0, 1, 1}, {2, 2, 2}, {8, 8, 7}, {2, 2, 2}, {9, 9, 9}, {2, 2, 2}});
    CombinationQuery q;
    q.pattern = {0, 0, 7};
    q.size = 1;
    EXPECT_EQ(run(h, q), (std::vector<std::int32_t>{2013002, 2013004}));
}

TEST(CombinationSearch, SizesThatFormNoCombination) {
    const auto h = historyOf({{1, 2, 3}, {1, 2, 3}, {1, 2, 3}});
    for (int size : {4, 5, 6, 0, 7, -3, 32767}) {
        CombinationQuery q;
        q.pattern = {1, 2, 3};
        q.size = size;
        EXPECT_TRUE(run(h, q).empty()) << size;
    }
}

TEST(CombinationSearch, NOneMarksWhatTheLastDrawMarksAndTheFirstDrawNever) {
    const auto h = test::randomHistory(5, 200, false, false);
    for (bool free : {true, false})
        for (int size = 1; size <= 3; ++size) {
            CombinationQuery q;
            q.freePositions = free;
            q.pattern = {1, 2, 3};
            q.size = size;
            const auto last = run(h, q);
            q.lastDraw = false;
            q.n = 1;
            EXPECT_EQ(run(h, q), last);
            EXPECT_TRUE(last.empty() || last.front() != h->first()->sqqh);
        }
}
