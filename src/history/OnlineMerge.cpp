// SPDX-License-Identifier: GPL-3.0-or-later
#include "OnlineMerge.h"

#include "ChartPage.h"
#include "HistoryExport.h"
#include "HistoryStore.h"
#include "UndoBackup.h"

#include <algorithm>

namespace brenvik {

namespace {

int clampedYears(int yearsToKeep) {
    return std::clamp(yearsToKeep, 2, 16);
}

// "2004–2019 年", or "2019 年" when one year goes.
std::string yearsRemoved(const RetentionCut& cut) {
    if (cut.firstYear == cut.lastYear)
        return std::to_string(cut.lastYear) + " 年";
    return std::to_string(cut.firstYear) + "\u2013" + std::to_string(cut.lastYear) + " 年";
}

} // namespace

UpdatePlan planUpdate(std::int32_t lastStored, int currentYear, int yearsToKeep) {
    UpdatePlan plan;
    plan.lastYear = currentYear;
    plan.firstYear = lastStored == 0 ? currentYear - clampedYears(yearsToKeep)
                                     : std::max(lastStored / 1000, kChartFirstYear);
    return plan;
}

UpdatePlan planUpdate(const HistorySnapshot& history, int currentYear, int yearsToKeep) {
    const DrawRow* last = history.last();
    return planUpdate(last ? last->sqqh : 0, currentYear, yearsToKeep);
}

int firstSequence(std::int32_t lastKnown, int year) {
    if (lastKnown == 0 || lastKnown / 1000 < year)
        return 1;
    return lastKnown % 1000 + 1;
}

std::optional<RetentionCut> retentionCut(const HistorySnapshot& history, int currentYear, int yearsToKeep) {
    const int years = clampedYears(yearsToKeep);
    const int keptFrom = currentYear - years;
    const auto& rows = history.rows();
    const auto kept = std::lower_bound(rows.begin(), rows.end(), keptFrom * 1000,
                                       [](const DrawRow& r, std::int32_t issue) { return r.sqqh < issue; });
    if (kept == rows.begin())
        return std::nullopt;
    return RetentionCut{rows.front().sqqh / 1000, (*(kept - 1)).sqqh / 1000, keptFrom, years,
                        kept - rows.begin()};
}

std::string retentionNotice(const RetentionCut& cut) {
    return "将删除 " + yearsRemoved(cut) + "的 " + groupedCount(cut.draws) + " 期历史号码，仅保留最近 " +
           std::to_string(cut.yearsToKeep) + " 年。";
}

std::string retentionDone(const RetentionCut& cut) {
    return "已删除 " + yearsRemoved(cut) + "的 " + groupedCount(cut.draws) + " 期历史号码。";
}

Result<void> removeYearsBefore(HistoryStore& store, const HistorySnapshot& history, const RetentionCut& cut,
                               int segmentParam) {
    const auto kept = drawLinesOf(history, static_cast<std::size_t>(std::max(0LL, cut.draws)));
    // The user agreed to lose these years, but can still take them back once.
    return changeWithUndo(store, "在线更新删除 " + yearsRemoved(cut) + "的历史号码",
                          [&] { return store.replaceAll(rowsFromDraws(kept, segmentParam)); });
}

OnlineMerge::OnlineMerge(const HistorySnapshot& history, int currentYear, int yearsToKeep, int segmentParam)
    : m_plan(planUpdate(history, currentYear, yearsToKeep)), m_segmentParam(segmentParam),
      m_startedEmpty(history.empty()) {
    if (const DrawRow* last = history.last())
        m_lastKnown = last->sqqh;
}

int OnlineMerge::firstSequence(int year) const {
    return brenvik::firstSequence(m_lastKnown, year);
}

int OnlineMerge::addPage(int year, std::span<const PageRow> rows) {
    if (listsIssuesOf(rows, year))
        ++m_pagesListing;
    const auto draws = scanYear(rows, year, firstSequence(year));
    return addDraws(year, draws);
}

int OnlineMerge::addDraws(int year, std::span<const DrawLine> draws) {
    int added = 0;
    for (const DrawLine& d : draws) {
        // Rows must stay in issue order behind the stored ones; a page that offers an older
        // issue (or a stored history from a later year than the clock says) adds nothing.
        if (d.issue <= m_lastKnown)
            continue;
        m_draws.push_back(d);
        m_lastKnown = d.issue;
        ++added;
    }
    m_years.push_back({year, added});
    return added;
}

Result<bool> OnlineMerge::commit(HistoryStore& store) const {
    if (m_draws.empty())
        return false;
    // Another program may have stored draws since the update began: the store checks the issues
    // and derives the rows from the history as it stands when they are written.
    if (auto written = store.appendDraws(m_draws, m_segmentParam); !written)
        return std::unexpected(written.error());
    return true;
}

} // namespace brenvik
