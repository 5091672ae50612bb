#include "OnlineMerge.h"

#include "ChartPage.h"
#include "HistoryStore.h"

#include <algorithm>

namespace brenvik {

UpdatePlan planUpdate(std::int32_t firstStored, std::int32_t lastStored, int currentYear, int yearsToKeep) {
    yearsToKeep = std::clamp(yearsToKeep, 2, 16);
    UpdatePlan plan;
    plan.lastYear = currentYear;
    // An empty history counts as starting in year 0, so it always starts afresh.
    plan.clear = currentYear - firstStored / 1000 > yearsToKeep;
    if (plan.clear || lastStored == 0)
        plan.firstYear = currentYear - yearsToKeep;
    else
        plan.firstYear = std::max(lastStored / 1000, kChartFirstYear);
    return plan;
}

UpdatePlan planUpdate(const HistorySnapshot& history, int currentYear, int yearsToKeep) {
    const DrawRow* first = history.first();
    const DrawRow* last = history.last();
    return planUpdate(first ? first->sqqh : 0, last ? last->sqqh : 0, currentYear, yearsToKeep);
}

int firstSequence(std::int32_t lastKnown, int year) {
    if (lastKnown == 0 || lastKnown / 1000 < year)
        return 1;
    return lastKnown % 1000 + 1;
}

OnlineMerge::OnlineMerge(const HistorySnapshot& history, int currentYear, int yearsToKeep, int segmentParam)
    : m_plan(planUpdate(history, currentYear, yearsToKeep)), m_segmentParam(segmentParam),
      m_hadHistory(!history.empty()) {
    if (!m_plan.clear && history.last()) {
        m_lastKnown = history.last()->sqqh;
        m_state = RunningState::after(*history.last());
    }
}

int OnlineMerge::firstSequence(int year) const {
    return brenvik::firstSequence(m_lastKnown, year);
}

int OnlineMerge::addPage(int year, std::string_view pageText) {
    if (listsIssuesOf(pageText, year))
        ++m_pagesListing;
    const auto draws = scanYear(pageText, year, firstSequence(year));
    return addDraws(year, draws);
}

int OnlineMerge::addDraws(int year, std::span<const DrawLine> draws) {
    int added = 0;
    for (const DrawLine& d : draws) {
        // Rows must stay in issue order behind the stored ones; a page that offers an older
        // issue (or a stored history from a later year than the clock says) adds nothing.
        if (d.issue <= m_lastKnown)
            continue;
        m_rows.push_back(appendDraw(d.issue, d.digits, m_segmentParam, m_state));
        m_lastKnown = d.issue;
        ++added;
    }
    m_years.push_back({year, added});
    return added;
}

Result<bool> OnlineMerge::commit(HistoryStore& store, bool everyYearRead) const {
    if (m_rows.empty() || (replacesStoredDraws() && !everyYearRead))
        return false;
    auto written = m_plan.clear ? store.replaceAll(m_rows) : store.append(m_rows);
    if (!written)
        return std::unexpected(written.error());
    return true;
}

} // namespace brenvik
