#pragma once

#include "DrawRow.h"
#include "Error.h"
#include "HistorySnapshot.h"
#include "HistoryText.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace brenvik {

class HistoryStore;

// Which years an online update reads, and whether it starts the history afresh.
struct UpdatePlan {
    bool clear = false; // the stored history reaches back further than the years to keep
    int firstYear = 0;
    int lastYear = 0; // the current year

    int yearCount() const { return lastYear >= firstYear ? lastYear - firstYear + 1 : 0; }
    bool operator==(const UpdatePlan&) const = default;
};

// The retention rule and the first year: with F the first stored issue (0 for an empty history)
// and C the current year, the history starts afresh when C - F/1000 exceeds the years to keep,
// and is then read from C - years to keep; otherwise reading continues in the year of the last
// stored issue (not before 2003). Years to keep outside 2..16 are taken as the nearest bound.
UpdatePlan planUpdate(std::int32_t firstStored, std::int32_t lastStored, int currentYear, int yearsToKeep);
UpdatePlan planUpdate(const HistorySnapshot& history, int currentYear, int yearsToKeep);

// The first sequence number to read on the page of `year` when the newest draw known so far is
// `lastKnown` (0 for none): 1 when that draw is from an earlier year, else the one after it.
int firstSequence(std::int32_t lastKnown, int year);

struct YearCount {
    int year = 0;
    int added = 0;
    bool operator==(const YearCount&) const = default;
};

// Collects the draws of one online update, year by year, and stores them in one transaction.
// Rows are derived as they are taken, with the running state carried on from the stored
// history, or from nothing when the history starts afresh.
class OnlineMerge {
public:
    OnlineMerge(const HistorySnapshot& history, int currentYear, int yearsToKeep, int segmentParam);

    const UpdatePlan& plan() const { return m_plan; }
    // The first sequence number to read on the page of `year`, given what was taken so far.
    int firstSequence(int year) const;
    // Takes the draws in the page text of `year`; returns how many were new.
    int addPage(int year, std::string_view pageText);
    // Takes draws of `year` found elsewhere; draws not newer than the last one known are ignored.
    int addDraws(int year, std::span<const DrawLine> draws);

    const std::vector<DrawRow>& rows() const { return m_rows; }
    const std::vector<YearCount>& years() const { return m_years; }
    // How many of the pages taken listed any issue of their year, drawn or not.
    int pagesListingIssues() const { return m_pagesListing; }

    // Whether the history was to start afresh while it held draws: then it is replaced only by
    // a complete reading of the years kept.
    bool replacesStoredDraws() const { return m_plan.clear && m_hadHistory; }

    // Stores what was taken, in one transaction: the new draws appended to the history, or, when
    // it starts afresh, the history replaced by them. `everyYearRead` says whether every year of
    // the plan was read; an update that stopped early keeps the years it read when it appends,
    // but never replaces stored draws by a part of the years kept. Nothing is written either
    // when nothing was taken, so a fresh start that found no draw keeps the old history.
    // Returns whether anything was written.
    Result<bool> commit(HistoryStore& store, bool everyYearRead) const;

private:
    UpdatePlan m_plan;
    int m_segmentParam;
    bool m_hadHistory;
    std::int32_t m_lastKnown = 0;
    RunningState m_state;
    std::vector<DrawRow> m_rows;
    std::vector<YearCount> m_years;
    int m_pagesListing = 0;
};

} // namespace brenvik
