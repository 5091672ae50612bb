// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrawRow.h"
#include "Error.h"
#include "HistorySnapshot.h"
#include "HistoryText.h"
#include "PageText.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brenvik {

class HistoryStore;

// Which years an online update reads.
struct UpdatePlan {
    int firstYear = 0;
    int lastYear = 0; // the current year

    int yearCount() const { return lastYear >= firstYear ? lastYear - firstYear + 1 : 0; }
    bool operator==(const UpdatePlan&) const = default;
};

// Reading continues in the year of the last stored issue (not before 2003); an empty history is
// read from the current year minus the years to keep. Years to keep outside 2..16 are taken as
// the nearest bound.
UpdatePlan planUpdate(std::int32_t lastStored, int currentYear, int yearsToKeep);
UpdatePlan planUpdate(const HistorySnapshot& history, int currentYear, int yearsToKeep);

// The first sequence number to read on the page of `year` when the newest draw known so far is
// `lastKnown` (0 for none): 1 when that draw is from an earlier year, else the one after it.
int firstSequence(std::int32_t lastKnown, int year);

// The draws the retention rule removes: those of the years before the kept range, which starts
// at the current year minus the years to keep.
struct RetentionCut {
    int firstYear = 0; // the year of the first stored draw
    int lastYear = 0;  // the year of the last draw removed
    int keptFrom = 0;  // the first year kept
    int yearsToKeep = 0;
    long long draws = 0; // stored draws before keptFrom
    bool operator==(const RetentionCut&) const = default;
};

// Nothing when the history holds no draw before the kept range.
std::optional<RetentionCut> retentionCut(const HistorySnapshot& history, int currentYear, int yearsToKeep);

// "将删除 2004–2019 年的 5,460 期历史号码，仅保留最近 6 年。"
std::string retentionNotice(const RetentionCut& cut);
// "已删除 2004–2019 年的 5,460 期历史号码。"
std::string retentionDone(const RetentionCut& cut);

// Removes the draws before the kept range and keeps every other stored draw, in one
// transaction. The kept draws are derived afresh from their digits, the first of them with no
// draw before it, so they hold exactly what a history read from the kept years holds.
Result<void> removeYearsBefore(HistoryStore& store, const HistorySnapshot& history, const RetentionCut& cut,
                               int segmentParam);

struct YearCount {
    int year = 0;
    int added = 0;
    bool operator==(const YearCount&) const = default;
};

// Collects the draws of one online update, year by year, and appends them in one transaction.
// Their rows are derived when they are stored, from the history as it then stands.
class OnlineMerge {
public:
    OnlineMerge(const HistorySnapshot& history, int currentYear, int yearsToKeep, int segmentParam);

    const UpdatePlan& plan() const { return m_plan; }
    // Whether the history held no draw when the update began.
    bool startedEmpty() const { return m_startedEmpty; }
    // The first sequence number to read on the page of `year`, given what was taken so far.
    int firstSequence(int year) const;
    // Takes the draws in the table rows of the page of `year`; returns how many were new.
    int addPage(int year, std::span<const PageRow> rows);
    // Takes draws of `year` found elsewhere; draws not newer than the last one known are ignored.
    int addDraws(int year, std::span<const DrawLine> draws);

    const std::vector<DrawLine>& draws() const { return m_draws; }
    const std::vector<YearCount>& years() const { return m_years; }
    // How many of the pages taken listed any issue of their year, drawn or not.
    int pagesListingIssues() const { return m_pagesListing; }
    // The newest draw stored or taken, 0 for none.
    std::int32_t lastKnown() const { return m_lastKnown; }

    // Appends what was taken, in one transaction; an update that stopped early keeps the years
    // it read. Returns whether anything was written.
    Result<bool> commit(HistoryStore& store) const;

private:
    UpdatePlan m_plan;
    int m_segmentParam;
    bool m_startedEmpty;
    std::int32_t m_lastKnown = 0;
    std::vector<DrawLine> m_draws;
    std::vector<YearCount> m_years;
    int m_pagesListing = 0;
};

} // namespace brenvik
