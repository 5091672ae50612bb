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
// keep (at least 2, at most kMostYearsToKeep), or the first year of any draw when every year is
// kept (kKeepAllYears).
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

// Nothing when the history holds no draw before the kept range, or every year is kept.
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

// A stored or shipped draw the source gives other digits for: the stored (shipped) digits stay.
struct Conflict {
    std::int32_t issue = 0;
    std::array<int, 3> stored{};
    std::array<int, 3> source{};
    bool shipped = false; // the draw is the shipped history's, not yet stored
    bool operator==(const Conflict&) const = default;
};

// "第 2025300 期：已存 123，来源为 124，保留已存号码", or for a shipped draw
// "第 2013005 期：附带的样本为 123，来源为 124，保留样本的号码"
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
// (pages that shifted while they were read) is one draw; stored draws are never replaced.
//
// The history shipped with the program is a source too, and the surer one: an empty history
// starts with its draws of the years kept (the source is then read only for the draws after
// them), and an issue the source lacks between draws it lists is taken from it. Where it and
// the source disagree, its draw is kept, as a stored one is.
//
// An issue is missing only when it lies between two draws, stored or listed: a row without a
// draw (an issue not drawn yet, on a chart page after the year's last draw) claims nothing, and
// a year ends with its last listed draw. The draws taken are the new ones up to the first issue
// no source has, or whose digits the source gives unreadably, so the history never gets a gap
// that later updates would step over. Issues of a year that has not begun in China are no draws
// and are passed over, and named.
class OnlineMerge {
public:
    // `shipped`: the shipped history of the game, in issue order (none when it is missing).
    OnlineMerge(const HistorySnapshot& history, int currentYear, int yearsToKeep, int segmentParam,
                std::span<const DrawLine> shipped = {});

    // Whether the history held no draw when the update began.
    bool startedEmpty() const { return m_lastStored == 0; }
    std::int32_t lastStored() const { return m_lastStored; }
    // The newest draw the history holds before the source is read: the last stored one, else the
    // last shipped one an empty history starts with; 0 for none.
    std::int32_t lastKnown() const;
    // Reading may stop once an issue at or below this one has been listed: lastKnown(), or
    // without any the last issue before the years kept (2020000).
    std::int32_t floor() const { return m_floor; }
    // The oldest year whose chart page is read.
    int firstChartYear() const;
    // Whether every year is kept: an empty history is read back to the source's first draw.
    bool keepsAll() const { return m_keepAll; }

    // Takes the issues one page lists (in any order); returns how many new draws it brought.
    int take(int page, std::span<const SourceItem> items);
    // The same for draws found elsewhere.
    int addDraws(int page, std::span<const DrawLine> draws);
    // Says that every page down to the floor has been read, though none listed an issue at or
    // below it: a chart page ends where its year ends.
    void reachedFloor() { m_reached = true; }
    bool reached() const { return m_reached; }

    const std::vector<PageCount>& pages() const { return m_pages; }
    // Stored and shipped draws the source disagrees with, in issue order.
    std::vector<Conflict> conflicts() const;
    // Whether the pages read listed any drawn issue, old or new.
    bool foundAny() const { return m_foundAny; }
    // The issues of years not begun that the source listed, in order.
    const std::set<std::int32_t>& future() const { return m_future; }
    // What the source gave in place of the digits of an issue above the floor it lists without
    // a readable draw, or nothing.
    std::optional<std::string> unreadable(std::int32_t issue) const;

    struct Outcome {
        std::vector<DrawLine> draws;      // to append, in issue order
        std::optional<std::int32_t> hole; // the first issue no source has, when one is missing
        // An empty history read to the source's first draw, which lies after the first issue of
        // the years kept: that draw.
        std::optional<std::int32_t> sourceStart;
        long long shipped = 0; // of the draws, those taken from the shipped history
    };
    Outcome outcome() const;

    // Appends outcome().draws in one transaction; returns whether anything was written.
    Result<bool> commit(HistoryStore& store) const;

private:
    struct Known {
        std::array<int, 3> digits{};
        bool shipped = false;
    };

    std::int32_t m_lastStored = 0;
    std::int32_t m_floor = 0;
    int m_currentYear = 0;
    int m_keptFrom = 0;
    bool m_keepAll = false;
    int m_segmentParam = 1;
    bool m_reached = false;
    bool m_foundAny = false;
    // The shipped draws an empty history starts with.
    std::vector<DrawLine> m_base;
    // The newest stored draws and the shipped ones of m_base, which a source may give again.
    std::map<std::int32_t, Known> m_known;
    // The shipped draws above the floor, for the issues the source lacks or disagrees on.
    std::map<std::int32_t, std::array<int, 3>> m_fill;
    std::map<std::int32_t, std::array<int, 3>> m_new; // drawn issues above the floor
    std::map<std::int32_t, std::string> m_unreadable; // listed above the floor, digits unreadable
    std::set<std::int32_t> m_future;
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
