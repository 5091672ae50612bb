// SPDX-License-Identifier: GPL-3.0-or-later
#include "OnlineMerge.h"
#include "ChartPages.h"
#include "HistoryStore.h"
#include "PageText.h"
#include "SampleHistory.h"
#include "SourceReader.h"
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

std::vector<SourceItem> itemsOf(const std::vector<DrawLine>& draws) {
    std::vector<SourceItem> items;
    for (const DrawLine& d : draws)
        items.push_back({d.issue, d.digits});
    return items;
}

// Newest first, as the feeds list them.
std::vector<SourceItem> newestFirst(std::vector<DrawLine> draws) {
    std::reverse(draws.begin(), draws.end());
    return itemsOf(draws);
}

std::vector<SourceItem> joinItems(std::vector<std::vector<SourceItem>> parts) {
    std::vector<SourceItem> all;
    for (auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

SourceItem pending(std::int32_t issue) {
    return {issue, std::nullopt};
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
        {old, 40, std::nullopt, ""},                // more years than it holds
        {old, kKeepAllYears, std::nullopt, ""},
        {old, 9, RetentionCut{2004, 2004, 2005, 9, 358},
         "将删除 2004 年的 358 期历史号码，仅保留最近 9 年。"},
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

TEST(OnlineMerge, TheNewDrawsAreTakenUpToTheFirstIssueTheSourceLacks) {
    const auto stored = concat({drawsOf(2025, 300, 351), drawsOf(2026, 1, 100)});
    const auto y2026 = drawsOf(2026, 1, 130);
    struct Case {
        const char* what;
        std::vector<DrawLine> stored;
        std::vector<std::vector<SourceItem>> pages;
        bool chartRead; // every chart page down to the floor's year was read
        std::vector<DrawLine> draws;
        std::optional<std::int32_t> hole;
        std::optional<std::int32_t> sourceStart = std::nullopt;
        std::vector<DrawLine> shipped = {};
        int years = 6;
        long long fromShipped = 0;
    };
    const auto pages = [](std::initializer_list<std::vector<SourceItem>> p) { return std::vector(p); };
    const auto without = [](std::vector<DrawLine> d, std::int32_t issue) {
        std::erase_if(d, [issue](const DrawLine& x) { return x.issue == issue; });
        return d;
    };
    const Case cases[] = {
        {"pages newest first, one issue twice (the pages shifted), one not drawn yet on top", stored,
         pages({joinItems({{pending(2026131)}, newestFirst(drawsOf(2026, 111, 130))}),
                newestFirst(drawsOf(2026, 95, 111))}),
         false, drawsOf(2026, 101, 130), std::nullopt},
        {"across a year end", drawsOf(2025, 300, 349),
         pages({newestFirst(concat({drawsOf(2025, 340, 351), drawsOf(2026, 1, 3)}))}), false,
         concat({drawsOf(2025, 350, 351), drawsOf(2026, 1, 3)}), std::nullopt},
        {"a hole: the draws before it", stored,
         pages({newestFirst(without(drawsOf(2026, 90, 130), 2026120))}), false, drawsOf(2026, 101, 119),
         2026120},
        {"an issue no draw can have is passed over", stored,
         pages({joinItems({itemsOf(drawsOf(2026, 999, 999)), itemsOf(drawsOf(2028, 5, 5)),
                           newestFirst(drawsOf(2026, 99, 104))})}),
         false, drawsOf(2026, 101, 104), std::nullopt},
        {"an issue missing between listed draws is a hole, listed without its draw or not", stored,
         pages({joinItems({newestFirst(drawsOf(2026, 106, 110)),
                           {pending(2026105)},
                           newestFirst(drawsOf(2026, 99, 104))})}),
         false, drawsOf(2026, 101, 104), 2026105},
        {"an issue whose digits cannot be read is one the source lacks", stored,
         pages({joinItems({newestFirst(drawsOf(2026, 106, 110)),
                           {{2026105, std::nullopt, "-1,2,3"}},
                           newestFirst(drawsOf(2026, 99, 104))})}),
         false, drawsOf(2026, 101, 104), 2026105},
        {"so is the newest one", stored,
         pages({joinItems({{{2026105, std::nullopt, "x"}}, newestFirst(drawsOf(2026, 99, 104))})}), false,
         drawsOf(2026, 101, 104), 2026105},
        {"issues of a year not begun are no draws", stored,
         pages({joinItems({itemsOf(drawsOf(2027, 1, 2)), newestFirst(drawsOf(2026, 99, 104))})}), false,
         drawsOf(2026, 101, 104), std::nullopt},
        {"a source that never reaches the stored history: the gap after it",
         stored,
         pages({newestFirst(drawsOf(2026, 110, 130)), {}}),
         false,
         {},
         2026101},
        {"a new year that does not start with 001",
         drawsOf(2025, 340, 351),
         pages({newestFirst(concat({drawsOf(2025, 350, 351), drawsOf(2026, 2, 5)}))}),
         false,
         {},
         2026001},
        {"a year left out",
         drawsOf(2024, 340, 352),
         pages({newestFirst(concat({drawsOf(2024, 350, 352), drawsOf(2026, 1, 5)}))}),
         false,
         {},
         2025001},
        {"a row without a draw after a year's last draw claims nothing: the year ends there",
         drawsOf(2025, 1, 340),
         pages({joinItems({itemsOf(drawsOf(2026, 1, 9)), {pending(2026010)}}),
                joinItems({itemsOf(drawsOf(2025, 1, 350)), {pending(2025351)}})}),
         true, concat({drawsOf(2025, 341, 350), drawsOf(2026, 1, 9)}), std::nullopt},
        {"an empty history starts with the first issue of the years kept",
         {},
         pages(
             {newestFirst(y2026), newestFirst(drawsOf(2020, 1, 313)), newestFirst(drawsOf(2019, 340, 351))}),
         false,
         drawsOf(2020, 1, 313),
         2021001},
        {"an empty history whose source begins later says where it begins",
         {},
         pages({newestFirst(drawsOf(2026, 5, 130)), {}}),
         false,
         drawsOf(2026, 5, 130),
         std::nullopt,
         2026005},
        {"an empty history whose kept years lack their first issue",
         {},
         pages({newestFirst(drawsOf(2020, 2, 9)), newestFirst(drawsOf(2019, 350, 351))}),
         false,
         {},
         2020001},
        {"an empty history starts with the shipped draws of the years kept, then the source's newer ones",
         {},
         pages({newestFirst(drawsOf(2026, 95, 130))}),
         false,
         concat({drawsOf(2020, 1, 313), y2026}),
         std::nullopt,
         std::nullopt,
         concat({drawsOf(2019, 1, 351), drawsOf(2020, 1, 313), drawsOf(2026, 1, 100)}),
         6,
         413},
        {"every year kept: all of them",
         {},
         pages({newestFirst(drawsOf(2026, 95, 130))}),
         false,
         concat({drawsOf(2019, 1, 351), drawsOf(2020, 1, 313), y2026}),
         std::nullopt,
         std::nullopt,
         concat({drawsOf(2019, 1, 351), drawsOf(2020, 1, 313), drawsOf(2026, 1, 100)}),
         kKeepAllYears,
         764},
        {"the issues the source lacks, the shipped history gives, a year's end too", drawsOf(2025, 1, 300),
         pages({newestFirst(
             without(without(concat({drawsOf(2025, 290, 340), drawsOf(2026, 1, 20)}), 2025320), 2026010))}),
         false, concat({drawsOf(2025, 301, 351), drawsOf(2026, 1, 20)}), std::nullopt, std::nullopt,
         concat({drawsOf(2025, 1, 351), drawsOf(2026, 1, 12)}), 6, 13},
        {"a history that ends before the source begins", drawsOf(2024, 1, 352),
         pages({newestFirst(drawsOf(2026, 1, 20)), {}}), false,
         concat({drawsOf(2025, 1, 351), drawsOf(2026, 1, 20)}), std::nullopt, std::nullopt,
         concat({drawsOf(2024, 1, 352), drawsOf(2025, 1, 351), drawsOf(2026, 1, 5)}), 6, 351},
        {"what no source has stops it still", drawsOf(2025, 1, 300),
         pages({newestFirst(without(drawsOf(2025, 290, 340), 2025320))}), false, drawsOf(2025, 301, 319),
         2025320, std::nullopt, drawsOf(2025, 1, 310), 6, 0},
    };
    for (const Case& c : cases) {
        OnlineMerge merge(historyOf(c.stored), 2026, c.years, 1, c.shipped);
        int page = 0;
        for (const auto& items : c.pages)
            merge.take(++page, items);
        if (c.chartRead)
            merge.reachedFloor();
        const auto o = merge.outcome();
        EXPECT_EQ(o.draws, c.draws) << c.what;
        EXPECT_EQ(o.hole, c.hole) << c.what;
        EXPECT_EQ(o.sourceStart, c.sourceStart) << c.what;
        EXPECT_EQ(o.shipped, c.fromShipped) << c.what;
        EXPECT_TRUE(merge.conflicts().empty()) << c.what;
    }
}

TEST(OnlineMerge, WhatTheSourceSaysBesidesItsDrawsIsKeptForTheLinesOfTheUpdate) {
    OnlineMerge merge(historyOf(drawsOf(2026, 1, 100)), 2026, 6, 1, drawsOf(2026, 1, 105));
    auto page = newestFirst(drawsOf(2026, 95, 104));
    page[0].digits = std::array{9, 9, 9}; // 2026104 of the shipped history
    page.insert(page.begin(), {{2028001, std::array{1, 1, 1}},
                               {2027002, std::array{1, 2, 3}},
                               {2027001, std::array{4, 5, 6}},
                               {2027003, std::array{7, 8, 9}}});
    page.insert(page.begin(), {2026106, std::nullopt, "1,2"});
    merge.take(1, page);
    EXPECT_EQ(merge.future(), (std::set<std::int32_t>{2027001, 2027002, 2027003, 2028001}));
    EXPECT_EQ(futureLine(merge.future()),
              "跳过来源中 4 个尚未到来的年份的期号（2027001、2027002、2027003 等）。");
    EXPECT_EQ(merge.unreadable(2026106), std::optional<std::string>("1,2"));
    const auto conflicts = merge.conflicts();
    ASSERT_EQ(conflicts.size(), 1u);
    const auto shipped = drawsOf(2026, 104, 104)[0].digits;
    EXPECT_EQ(conflicts[0], (Conflict{2026104, shipped, {9, 9, 9}, true}));
    EXPECT_EQ(conflictLine({2013005, {1, 2, 3}, {1, 2, 4}, true}),
              "第 2013005 期：附带的样本为 123，来源为 124，保留样本的号码");
    // The shipped draw of 2026104 is the one taken; 2026105 fills the gap before the unreadable one.
    const auto o = merge.outcome();
    EXPECT_EQ(o.draws, drawsOf(2026, 101, 105));
    EXPECT_EQ(o.hole, 2026106);
}

TEST(OnlineMerge, AStoredDrawStaysWhateverTheSourceSays) {
    const auto stored = drawsOf(2026, 1, 20);
    OnlineMerge merge(historyOf(stored), 2026, 6, 1);
    auto page = newestFirst(drawsOf(2026, 15, 22));
    page[3].digits = std::array{9, 9, 9};                    // 2026019
    page[6].digits = std::array{stored[15].digits[0], 0, 0}; // 2026016
    EXPECT_EQ(merge.take(1, page), 2);
    // The first word on an issue counts, also on a stored one.
    merge.take(2, std::vector<SourceItem>{{2026019, std::array{1, 1, 1}}, {2026022, std::array{0, 0, 0}}});
    EXPECT_EQ(merge.pages(), (std::vector<PageCount>{{1, 2}, {2, 0}}));
    const auto conflicts = merge.conflicts();
    ASSERT_EQ(conflicts.size(), 2u);
    EXPECT_EQ(conflicts[1], (Conflict{2026019, stored[18].digits, {9, 9, 9}}));
    EXPECT_EQ(conflictLine({2025300, {1, 2, 3}, {1, 2, 4}}),
              "第 2025300 期：已存 123，来源为 124，保留已存号码");
    EXPECT_EQ(merge.outcome().draws, drawsOf(2026, 21, 22));
}

TEST(OnlineMerge, TheStoredRowsCarryOnFromTheHistory) {
    const auto stored = drawsOf(2025, 1, 350);
    TestFolder folder;
    auto store = HistoryStore::open(folder / kDatabaseFile);
    ASSERT_TRUE(store);
    ASSERT_TRUE((*store)->replaceAll(rowsFromDraws(stored, 1)));
    OnlineMerge merge(*(*store)->loadSnapshot().value(), 2026, 6, 1);
    EXPECT_EQ(merge.floor(), 2025350);
    EXPECT_EQ(merge.firstChartYear(), 2025);
    merge.take(2026, itemsOf(drawsOf(2026, 1, 3)));
    merge.take(2025, itemsOf(drawsOf(2025, 1, 351)));
    merge.reachedFloor();

    const auto saved = storeRead(**store, merge, std::chrono::sys_days{std::chrono::year{2026} / 1 / 5});
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->added, 4);
    EXPECT_EQ(summaryLine(*saved), "新增 4 期，最新一期 2026003");
    // The stored rows are what a history built from scratch holds for them.
    expectSameRows((*store)->loadSnapshot().value()->rows(),
                   rowsFromDraws(concat({stored, drawsOf(2025, 351, 351), drawsOf(2026, 1, 3)}), 1));
    EXPECT_EQ(lastUpdated(**store).value(), std::chrono::sys_days{std::chrono::year{2026} / 1 / 5});

    // A source that lacks an issue leaves the time of the last complete update as it was.
    OnlineMerge gap(*(*store)->loadSnapshot().value(), 2026, 6, 1);
    gap.take(1, newestFirst(drawsOf(2026, 5, 6)));
    const auto partial = storeRead(**store, gap, std::chrono::sys_days{std::chrono::year{2026} / 1 / 9});
    ASSERT_TRUE(partial);
    EXPECT_FALSE(partial->complete);
    EXPECT_EQ(partial->added, 0);
    EXPECT_EQ(lastUpdated(**store).value(), std::chrono::sys_days{std::chrono::year{2026} / 1 / 5});
}

TEST(OnlineMerge, AnUpdateIsDueAfterEveryEveningsDraw) {
    using namespace std::chrono;
    // 21:30 in China is 13:30 UTC.
    const auto at = [](int day, int hour, int minute) {
        return sys_days{year{2026} / 12 / day} + hours(hour) + minutes(minute);
    };
    EXPECT_EQ(latestDrawTime(at(8, 13, 30)), at(8, 13, 30));
    EXPECT_EQ(latestDrawTime(at(8, 13, 29)), at(7, 13, 30));
    EXPECT_EQ(latestDrawTime(at(8, 17, 0)), at(8, 13, 30)) << "past midnight in China";
    EXPECT_TRUE(updateDue(std::nullopt, at(8, 1, 0)));
    EXPECT_TRUE(updateDue(at(7, 13, 0), at(7, 14, 0)));
    EXPECT_FALSE(updateDue(at(7, 13, 45), at(8, 13, 0)));
}

TEST(OnlineMerge, AFailedWriteLeavesTheHistoryAsItWas) {
    const auto stored = drawsOf(2013, 1, 10);
    TestFolder folder;
    auto store = HistoryStore::open(folder / kDatabaseFile);
    ASSERT_TRUE(store);
    ASSERT_TRUE((*store)->replaceAll(rowsFromDraws(stored, 1)));
    // A history that does not know its last stored draw tries to store it again.
    OnlineMerge merge(historyOf(drawsOf(2013, 1, 5)), 2014, 6, 1);
    merge.addDraws(1, drawsOf(2013, 6, 12));
    const auto written = merge.commit(**store);
    ASSERT_FALSE(written.has_value());
    EXPECT_EQ(written.error().code, ErrorCode::Invalid);
    EXPECT_NE(written.error().message.find("2013010"), std::string::npos) << "names the last stored draw";
    EXPECT_EQ((*store)->loadSnapshot().value()->size(), stored.size()) << "nothing is written";
}
