// SPDX-License-Identifier: GPL-3.0-or-later
#include "OnlineMerge.h"
#include "ChartPages.h"
#include "HistoryStore.h"
#include "PageText.h"
#include "SampleHistory.h"
#include "TestFolder.h"
#include "UndoBackup.h"

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

std::vector<PageRow> rowsOf(const std::string& html) {
    auto rows = pageRows(html);
    EXPECT_TRUE(rows.has_value());
    return rows ? *rows : std::vector<PageRow>{};
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
    EXPECT_EQ(plan, (UpdatePlan{2008, 2014}));
    EXPECT_EQ(plan.yearCount(), 7);
    EXPECT_EQ(planUpdate(0, 2014, 2), (UpdatePlan{2012, 2014}));
    // Years to keep outside 2..16 are taken at the nearest bound.
    EXPECT_EQ(planUpdate(0, 2014, 40), (UpdatePlan{1998, 2014}));
    EXPECT_EQ(planUpdate(0, 2014, 0), (UpdatePlan{2012, 2014}));
}

TEST(OnlinePlan, AStoredHistoryContinuesInTheYearOfItsLastDraw) {
    EXPECT_EQ(planUpdate(2013350, 2014, 6), (UpdatePlan{2013, 2014}));
    EXPECT_EQ(planUpdate(historyOf(concat({drawsOf(2007, 1, 3), drawsOf(2013, 1, 5)})), 2014, 6),
              (UpdatePlan{2013, 2014}))
        << "draws older than the years kept do not move the start";
    EXPECT_EQ(firstSequence(2013350, 2013), 351);
    EXPECT_EQ(firstSequence(2013350, 2014), 1);
    EXPECT_EQ(firstSequence(0, 2014), 1);
    // Never earlier than 2003.
    EXPECT_EQ(planUpdate(2002100, 2014, 16), (UpdatePlan{2003, 2014}));
    // A history up to date this year reads this year's page only.
    EXPECT_EQ(planUpdate(2014005, 2014, 6), (UpdatePlan{2014, 2014}));
}

TEST(OnlineRetention, OnlyTheYearsBeforeTheKeptRangeAreCut) {
    struct Case {
        std::vector<DrawLine> stored;
        int yearsToKeep;
        std::optional<RetentionCut> want;
        std::string notice;
    };
    const auto old = concat({drawsOf(2004, 1, 358), drawsOf(2005, 1, 358), drawsOf(2006, 1, 358),
                             drawsOf(2007, 1, 1), drawsOf(2013, 1, 9)});
    const Case cases[] = {
        {{}, 6, std::nullopt, ""},
        {drawsOf(2008, 1, 5), 6, std::nullopt, ""}, // exactly the years to keep back stays
        {old, 40, std::nullopt, ""},                // 16 at most
        {concat({drawsOf(2008, 1, 5), drawsOf(2013, 1, 2)}), 5, RetentionCut{2008, 2008, 2009, 5, 5},
         "将删除 2008 年的 5 期历史号码，仅保留最近 5 年。"},
        {old, 6, RetentionCut{2004, 2007, 2008, 6, 1075},
         "将删除 2004\u20132007 年的 1,075 期历史号码，仅保留最近 6 年。"},
    };
    for (const Case& c : cases) {
        const auto cut = retentionCut(historyOf(c.stored), 2014, c.yearsToKeep);
        EXPECT_EQ(cut, c.want) << c.notice;
        if (cut && c.want) {
            EXPECT_EQ(retentionNotice(*cut), c.notice);
        }
    }
}

TEST(OnlineRetention, TheKeptDrawsAreStoredAsIfReadFromTheKeptYearsAlone) {
    const auto kept = concat({drawsOf(2013, 1, 358), drawsOf(2014, 1, 4)});
    TestFolder folder;
    auto store = HistoryStore::open(folder / kDatabaseFile);
    ASSERT_TRUE(store);
    ASSERT_TRUE((*store)->replaceAll(rowsFromDraws(concat({drawsOf(2007, 1, 358), kept}), 1)));
    const auto before = (*store)->loadSnapshot().value();
    const auto cut = retentionCut(*before, 2014, 6);
    ASSERT_TRUE(cut);
    EXPECT_EQ(retentionDone(*cut), "已删除 2007 年的 358 期历史号码。");

    ASSERT_TRUE(removeYearsBefore(**store, *before, *cut, 0));
    expectSameRows((*store)->loadSnapshot().value()->rows(), rowsFromDraws(kept, 0));
    // The removed years can be taken back once.
    const auto backup = readUndoBackup(**store);
    ASSERT_TRUE(backup && *backup);
    EXPECT_EQ((*backup)->draws, concat({drawsOf(2007, 1, 358), kept}));
}

TEST(OnlineMerge, AppendsAcrossAYearEndWithTheRunningStateOfTheStoredHistory) {
    const auto stored = drawsOf(2013, 1, 350);
    const auto history = historyOf(stored);
    OnlineMerge merge(history, 2014, 6, 1);
    EXPECT_EQ(merge.plan(), (UpdatePlan{2013, 2014}));
    EXPECT_EQ(merge.firstSequence(2013), 351);
    EXPECT_EQ(merge.addPage(2013, rowsOf(chartPage(2013, drawsOf(2013, 1, 358)))), 8);
    EXPECT_EQ(merge.firstSequence(2014), 1);
    ChartPageOptions o;
    o.layout = ChartLayout::JoinedCell;
    o.notDrawnYet = {4};
    EXPECT_EQ(merge.addPage(2014, rowsOf(chartPage(2014, drawsOf(2014, 1, 3), o))), 3);
    EXPECT_EQ(merge.years(), (std::vector<YearCount>{{2013, 8}, {2014, 3}}));
    EXPECT_EQ(merge.pagesListingIssues(), 2);

    const auto fresh = concat({drawsOf(2013, 351, 358), drawsOf(2014, 1, 3)});
    EXPECT_EQ(merge.draws(), fresh);
    // The stored rows are what a history built from scratch holds for them.
    const auto whole = rowsFromDraws(concat({stored, fresh}), 1);

    TestFolder folder;
    auto store = HistoryStore::open(folder / kDatabaseFile);
    ASSERT_TRUE(store);
    ASSERT_TRUE((*store)->replaceAll(std::vector<DrawRow>(history.rows())));
    ASSERT_EQ(merge.commit(**store), true);
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
    EXPECT_EQ(merge.draws().size(), 260u);
}

TEST(OnlineMerge, AnUpdateThatFoundNothingWritesNothing) {
    const auto old = concat({drawsOf(2007, 1, 20), drawsOf(2013, 1, 20)});
    TestFolder folder;
    auto store = HistoryStore::open(folder / kDatabaseFile);
    ASSERT_TRUE(store);
    ASSERT_TRUE((*store)->replaceAll(rowsFromDraws(old, 1)));
    auto snapshot = (*store)->loadSnapshot();
    ASSERT_TRUE(snapshot);

    OnlineMerge merge(**snapshot, 2014, 6, 1);
    for (int y = 2013; y <= 2014; ++y)
        EXPECT_EQ(merge.addPage(y, rowsOf("<html><body>暂无数据</body></html>")), 0);
    EXPECT_EQ(merge.pagesListingIssues(), 0);
    EXPECT_EQ(merge.commit(**store), false);
    expectSameRows((*store)->loadSnapshot().value()->rows(), (*snapshot)->rows());
}

TEST(OnlineMerge, AnUpdateThatStoppedEarlyKeepsTheYearsItRead) {
    TestFolder folder;
    auto store = HistoryStore::open(folder / kDatabaseFile);
    ASSERT_TRUE(store);
    auto stored = [&] { return (*store)->loadSnapshot().value(); };

    ASSERT_TRUE((*store)->replaceAll(rowsFromDraws(drawsOf(2013, 1, 350), 1)));
    OnlineMerge appending(*stored(), 2014, 6, 1);
    appending.addDraws(2013, drawsOf(2013, 351, 358));
    EXPECT_EQ(appending.commit(**store), true);
    EXPECT_EQ(stored()->last()->sqqh, 2013358);

    // From an empty history, read from the first of the years to keep.
    TestFolder other;
    auto empty = HistoryStore::open(other / kDatabaseFile);
    ASSERT_TRUE(empty);
    OnlineMerge first(HistorySnapshot(), 2014, 2, 1);
    EXPECT_TRUE(first.startedEmpty());
    EXPECT_EQ(first.plan().firstYear, 2012);
    first.addDraws(2012, drawsOf(2012, 1, 358));
    EXPECT_EQ(first.commit(**empty), true);
    expectSameRows((*empty)->loadSnapshot().value()->rows(), rowsFromDraws(drawsOf(2012, 1, 358), 1));
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
    const auto written = merge.commit(**store);
    ASSERT_FALSE(written.has_value());
    EXPECT_EQ(written.error().code, ErrorCode::Invalid);
    EXPECT_NE(written.error().message.find("2013010"), std::string::npos) << "names the last stored draw";
    EXPECT_EQ((*store)->loadSnapshot().value()->size(), stored.size()) << "nothing is written";
}
