// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrawRow.h"
#include "DrawSource.h"
#include "Error.h"
#include "HistorySnapshot.h"
#include "HistoryText.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace brenvik {

class HistoryStore;

// The first year of the range the retention rule keeps: the current year minus the years to
// keep, which outside 2..16 are taken as the nearest bound.
int firstKeptYear(int currentYear, int yearsToKeep);

// The draws the retention rule removes: those of the years before the kept range.
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
// transaction, with an undo backup. The kept draws are derived afresh from their digits, the
// first of them with no draw before it, so they hold exactly what a history read from the kept
// years holds.
Result<void> removeYearsBefore(HistoryStore& store, const HistorySnapshot& history, const RetentionCut& cut,
                               int segmentParam);

// A stored draw the source gives other digits for: the stored digits stay.
struct Conflict {
    std::int32_t issue = 0;
    std::array<int, 3> stored{};
    std::array<int, 3> source{};
    bool operator==(const Conflict&) const = default;
};

// "第 2025300 期：已存 123，来源为 124，保留已存号码"
std::string conflictLine(const Conflict& conflict);

// One page read: the year of a chart page, or the number of a page of a feed, and the new
// draws it brought.
struct PageCount {
    int page = 0;
    int added = 0;
    bool operator==(const PageCount&) const = default;
};

// The draws one online update takes, whatever its source and whatever order its pages come in.
// Pages are read newest first until they reach the last stored issue; an issue listed twice
// (pages that shifted while they were read) is one draw; stored draws are never replaced. The
// draws taken are the new ones up to the first issue the source lacks, so the history never
// gets a gap that later updates would step over.
class OnlineMerge {
public:
    OnlineMerge(const HistorySnapshot& history, int currentYear, int yearsToKeep, int segmentParam);

    // Whether the history held no draw when the update began.
    bool startedEmpty() const { return m_lastStored == 0; }
    std::int32_t lastStored() const { return m_lastStored; }
    // Reading may stop once an issue at or below this one has been listed: the last stored
    // issue, or for an empty history the last issue before the years kept (2020000).
    std::int32_t floor() const { return m_floor; }
    // The oldest year whose chart page is read.
    int firstChartYear() const;

    // Takes the issues one page lists (in any order); returns how many new draws it brought.
    int take(int page, std::span<const SourceItem> items);
    // The same for draws found elsewhere.
    int addDraws(int page, std::span<const DrawLine> draws);
    // Says that every page down to the floor has been read, though none listed an issue at or
    // below it: a chart page ends where its year ends.
    void reachedFloor() { m_reached = true; }
    bool reached() const { return m_reached; }

    const std::vector<PageCount>& pages() const { return m_pages; }
    // Stored draws the source disagrees with, in issue order.
    std::vector<Conflict> conflicts() const;
    // Whether the pages read listed any drawn issue, old or new.
    bool foundAny() const { return m_foundAny; }

    struct Outcome {
        std::vector<DrawLine> draws;      // to append, in issue order
        std::optional<std::int32_t> hole; // the first issue the source lacks, when it lacks one
        // An empty history read to the source's first draw, which lies after the first issue of
        // the years kept: that draw.
        std::optional<std::int32_t> sourceStart;
    };
    Outcome outcome() const;

    // Appends outcome().draws in one transaction; returns whether anything was written.
    Result<bool> commit(HistoryStore& store) const;

private:
    std::int32_t m_lastStored = 0;
    std::int32_t m_floor = 0;
    int m_currentYear = 0;
    int m_keptFrom = 0;
    int m_segmentParam = 1;
    bool m_reached = false;
    bool m_foundAny = false;
    // The newest stored draws, which a source may give again.
    std::map<std::int32_t, std::array<int, 3>> m_storedTail;
    std::map<std::int32_t, std::array<int, 3>> m_new; // drawn issues above the floor
    std::set<std::int32_t> m_pending;                 // listed issues above the floor without a draw
    std::map<std::int32_t, Conflict> m_conflicts;
    std::vector<PageCount> m_pages;
};

// When the history was last brought up to date by an online update, kept in the history's
// database so the window and the companion see each other's updates; nothing when never.
Result<std::optional<std::chrono::system_clock::time_point>> lastUpdated(const HistoryStore& store);
Result<void> markUpdated(HistoryStore& store, std::chrono::system_clock::time_point when);

// The most recent evening draw time at `now`: both games publish their results by 21:30 in
// China (UTC+8) every evening.
std::chrono::system_clock::time_point latestDrawTime(std::chrono::system_clock::time_point now);
// Whether an update at `updated` (nothing: never) is older than the latest evening draw.
bool updateDue(std::optional<std::chrono::system_clock::time_point> updated,
               std::chrono::system_clock::time_point now);

} // namespace brenvik
