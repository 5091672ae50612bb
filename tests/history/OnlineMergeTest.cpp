#include "OnlineMerge.h"
#include "ChartPages.h"
#include "HistoryStore.h"
#include "PageText.h"
#include "SampleHistory.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

using namespace brenvik;
using namespace brenvik::test;

namespace {

HistorySnapshot historyOf(const std::vector<DrawLine>& draws, int segmentParam = 1) {
    return HistorySnapshot(rowsFromDraws(draws, segmentParam));
}

std::vector<DrawLine> concat(std::vector<std::vector<DrawLine>> parts) {
    std::vector<DrawLine> all;
    for (auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::string textOf(const std::string& html) {
    auto t = pageText(html);
    EXPECT_TRUE(t.has_value());
    return t ? *t : std::string();
}

void expectSameRows(const std::vector<DrawRow>& got, const std::vector<DrawRow>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(want[i].sqqh);
        EXPECT_EQ(got[i].sqqh, want[i].sqqh);
        EXPECT_EQ(got[i].qqh, want[i].qqh);
        EXPECT_EQ(got[i].own, want[i].own);
        EXPECT_EQ(got[i].prev, want[i].prev);
        EXPECT_EQ(got[i].back, want[i].back);
        EXPECT_EQ(got[i].last, want[i].last);
        EXPECT_EQ(got[i].pre, want[i].pre);
    }
}

} // namespace

TEST(OnlinePlan, AnEmptyHistoryIsReadForTheYearsToKeep) {
    const UpdatePlan plan = planUpdate(HistorySnapshot(), 2014, 6);
    EXPECT_EQ(plan, (UpdatePlan{true, 2008, 2014}));
    EXPECT_EQ(plan.yearCount(), 7);
    EXPECT_EQ(planUpdate(0, 0, 2014, 2), (UpdatePlan{true, 2012, 2014}));
}

TEST(OnlinePlan, AHistoryOlderThanTheYearsToKeepStartsAfresh) {
    const auto history = historyOf(concat({drawsOf(2007, 1, 3), drawsOf(2013, 1, 5)}));
    EXPECT_EQ(planUpdate(history, 2014, 6), (UpdatePlan{true, 2008, 2014}));
    // Exactly the years to keep back is still kept.
    EXPECT_EQ(planUpdate(2008001, 2013005, 2014, 6), (UpdatePlan{false, 2013, 2014}));
    EXPECT_EQ(planUpdate(2008001, 2013005, 2014, 5), (UpdatePlan{true, 2009, 2014}));
    // Years to keep outside 2..16 are taken at the nearest bound.
    EXPECT_EQ(planUpdate(0, 0, 2014, 40), (UpdatePlan{true, 1998, 2014}));
    EXPECT_EQ(planUpdate(0, 0, 2014, 0), (UpdatePlan{true, 2012, 2014}));
}

TEST(OnlinePlan, AStoredHistoryContinuesInTheYearOfItsLastDraw) {
    EXPECT_EQ(planUpdate(2010001, 2013350, 2014, 6), (UpdatePlan{false, 2013, 2014}));
    EXPECT_EQ(firstSequence(2013350, 2013), 351);
    EXPECT_EQ(firstSequence(2013350, 2014), 1);
    EXPECT_EQ(firstSequence(0, 2014), 1);
    // Never earlier than 2003.
    EXPECT_EQ(planUpdate(1999001, 2002100, 2014, 16), (UpdatePlan{false, 2003, 2014}));
    // A history up to date this year reads this year's page only.
    EXPECT_EQ(planUpdate(2010001, 2014005, 2014, 6), (UpdatePlan{false, 2014, 2014}));
}

TEST(OnlineMerge, AppendsAcrossAYearEndWithTheRunningStateOfTheStoredHistory) {
    const auto stored = drawsOf(2013, 1, 350);
    const auto history = historyOf(stored);
    OnlineMerge merge(history, 2014, 6, 1);
    EXPECT_EQ(merge.plan(), (UpdatePlan{false, 2013, 2014}));
    EXPECT_EQ(merge.firstSequence(2013), 351);
    EXPECT_EQ(merge.addPage(2013, textOf(chartPage(2013, drawsOf(2013, 1, 358)))), 8);
    EXPECT_EQ(merge.firstSequence(2014), 1);
    ChartPageOptions o;
    o.layout = ChartLayout::JoinedCell;
    o.notDrawnYet = {4};
    EXPECT_EQ(merge.addPage(2014, textOf(chartPage(2014, drawsOf(2014, 1, 3), o))), 3);
    EXPECT_EQ(merge.years(), (std::vector<YearCount>{{2013, 8}, {2014, 3}}));
    EXPECT_EQ(merge.pagesListingIssues(), 2);

    // The new rows are what a history built from scratch holds for them.
    const auto all = concat({stored, drawsOf(2013, 351, 358), drawsOf(2014, 1, 3)});
    const auto whole = rowsFromDraws(all, 1);
    expectSameRows(merge.rows(), std::vector<DrawRow>(whole.begin() + 350, whole.end()));

    TestFolder folder;
    auto store = HistoryStore::open(folder / kDatabaseFile);
    ASSERT_TRUE(store);
    ASSERT_TRUE((*store)->replaceAll(history.rows()));
    ASSERT_EQ(merge.commit(**store, true), true);
    auto after = (*store)->loadSnapshot();
    ASSERT_TRUE(after);
    expectSameRows((*after)->rows(), whole);
}

TEST(OnlineMerge, LaterYearsOfOneRunStartAfterTheDrawsFoundBefore) {
    OnlineMerge merge(historyOf(drawsOf(2012, 1, 100)), 2014, 6, 0);
    EXPECT_EQ(merge.addDraws(2012, drawsOf(2012, 101, 358)), 258);
    EXPECT_EQ(merge.firstSequence(2013), 1);
    EXPECT_EQ(merge.addDraws(2013, drawsOf(2013, 1, 2)), 2);
    EXPECT_EQ(merge.firstSequence(2013), 3) << "the last draw found so far counts as stored";
    EXPECT_EQ(merge.addDraws(2013, drawsOf(2013, 1, 2)), 0) << "older issues are never taken twice";
    EXPECT_EQ(merge.rows().size(), 260u);
}

TEST(OnlineMerge, AFreshStartReplacesTheHistoryInOneGo) {
    const auto old = concat({drawsOf(2007, 1, 358), drawsOf(2008, 1, 10)});
    TestFolder folder;
    auto store = HistoryStore::open(folder / kDatabaseFile);
    ASSERT_TRUE(store);
    ASSERT_TRUE((*store)->replaceAll(rowsFromDraws(old, 1)));
    auto snapshot = (*store)->loadSnapshot();
    ASSERT_TRUE(snapshot);

    OnlineMerge merge(**snapshot, 2014, 6, 1);
    ASSERT_TRUE(merge.plan().clear);
    EXPECT_EQ(merge.plan().firstYear, 2008);
    EXPECT_EQ(merge.firstSequence(2008), 1) << "nothing stored counts after a fresh start";
    merge.addDraws(2008, drawsOf(2008, 1, 358));
    merge.addDraws(2009, drawsOf(2009, 1, 5));
    ASSERT_EQ(merge.commit(**store, true), true);
    auto after = (*store)->loadSnapshot();
    ASSERT_TRUE(after);
    expectSameRows((*after)->rows(), rowsFromDraws(concat({drawsOf(2008, 1, 358), drawsOf(2009, 1, 5)}), 1));
    EXPECT_TRUE((*after)->first()->last[0].empty()) << "the first row has no draw before it";
}

TEST(OnlineMerge, AFreshStartThatFoundNothingKeepsTheOldHistory) {
    const auto old = concat({drawsOf(2007, 1, 20), drawsOf(2013, 1, 20)});
    TestFolder folder;
    auto store = HistoryStore::open(folder / kDatabaseFile);
    ASSERT_TRUE(store);
    ASSERT_TRUE((*store)->replaceAll(rowsFromDraws(old, 1)));
    auto snapshot = (*store)->loadSnapshot();
    ASSERT_TRUE(snapshot);

    OnlineMerge merge(**snapshot, 2014, 6, 1);
    ASSERT_TRUE(merge.plan().clear);
    for (int y = 2008; y <= 2014; ++y)
        EXPECT_EQ(merge.addPage(y, textOf("<html><body>暂无数据</body></html>")), 0);
    EXPECT_EQ(merge.pagesListingIssues(), 0);
    EXPECT_EQ(merge.commit(**store, true), false);
    auto after = (*store)->loadSnapshot();
    ASSERT_TRUE(after);
    EXPECT_EQ((*after)->size(), old.size());
    EXPECT_EQ((*after)->first()->sqqh, 2007001);
}

TEST(OnlineMerge, AnUpdateThatStoppedEarlyKeepsItsYearsOnlyWhenItAppends) {
    TestFolder folder;
    auto store = HistoryStore::open(folder / kDatabaseFile);
    ASSERT_TRUE(store);
    auto stored = [&] { return (*store)->loadSnapshot().value(); };

    // Appending: the years read before the stop are kept.
    ASSERT_TRUE((*store)->replaceAll(rowsFromDraws(drawsOf(2013, 1, 350), 1)));
    OnlineMerge appending(*stored(), 2014, 6, 1);
    appending.addDraws(2013, drawsOf(2013, 351, 358));
    EXPECT_FALSE(appending.replacesStoredDraws());
    EXPECT_EQ(appending.commit(**store, false), true);
    EXPECT_EQ(stored()->last()->sqqh, 2013358);

    // Starting afresh from an empty history: nothing to lose, the years read are kept.
    TestFolder other;
    auto empty = HistoryStore::open(other / kDatabaseFile);
    ASSERT_TRUE(empty);
    OnlineMerge first(HistorySnapshot(), 2014, 2, 1);
    first.addDraws(2012, drawsOf(2012, 1, 358));
    EXPECT_EQ(first.commit(**empty, false), true);
    EXPECT_EQ((*empty)->loadSnapshot().value()->size(), 358u);

    // Starting afresh over stored draws: a part of the years kept never replaces them.
    const auto old = concat({drawsOf(2007, 1, 358), drawsOf(2013, 1, 358)});
    ASSERT_TRUE((*store)->replaceAll(rowsFromDraws(old, 1)));
    OnlineMerge fresh(*stored(), 2014, 6, 1);
    EXPECT_TRUE(fresh.replacesStoredDraws());
    fresh.addDraws(2008, drawsOf(2008, 1, 358));
    EXPECT_EQ(fresh.commit(**store, false), false);
    EXPECT_EQ(stored()->size(), old.size());
    EXPECT_EQ(stored()->first()->sqqh, 2007001);
}

TEST(OnlineMerge, AFailedWriteLeavesTheHistoryAsItWas) {
    const auto stored = drawsOf(2013, 1, 10);
    TestFolder folder;
    auto store = HistoryStore::open(folder / kDatabaseFile);
    ASSERT_TRUE(store);
    ASSERT_TRUE((*store)->replaceAll(rowsFromDraws(stored, 1)));
    // A history that does not know its last stored draw tries to store it again.
    OnlineMerge merge(historyOf(drawsOf(2013, 1, 5)), 2014, 6, 1);
    merge.addDraws(2013, drawsOf(2013, 6, 12));
    const auto written = merge.commit(**store, true);
    ASSERT_FALSE(written.has_value());
    EXPECT_EQ(written.error().code, ErrorCode::Database);
    EXPECT_EQ((*store)->loadSnapshot().value()->size(), stored.size()) << "rolled back as a whole";
}
