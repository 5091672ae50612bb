// SPDX-License-Identifier: GPL-3.0-or-later
#include "OnlineMerge.h"

#include "ChartPage.h"
#include "HistoryExport.h"
#include "HistoryStore.h"
#include "IssueNumber.h"
#include "Settings.h"
#include "UndoBackup.h"

#include <algorithm>

namespace brenvik {

namespace {

// How many of the newest stored draws a source is compared with: far more than the pages read
// before they reach the last stored issue can list, a whole chart year included.
constexpr std::size_t kComparedDraws = 1000;

// "2004–2019 年", or "2019 年" when one year goes.
std::string yearsRemoved(const RetentionCut& cut) {
    if (cut.firstYear == cut.lastYear)
        return std::to_string(cut.lastYear) + " 年";
    return std::to_string(cut.firstYear) + "\u2013" + std::to_string(cut.lastYear) + " 年";
}

std::string digitsText(const std::array<int, 3>& d) {
    return {static_cast<char>('0' + d[0]), static_cast<char>('0' + d[1]), static_cast<char>('0' + d[2])};
}

// The first issue missing between `before` and the next draw `next`: within a year every
// sequence number follows the one before; a new year starts at 001 and follows the year before.
std::optional<std::int32_t> missingBetween(std::int32_t before, std::int32_t next) {
    const int year = before / 1000;
    const int nextYear = next / 1000;
    if (nextYear == year)
        return next == before + 1 ? std::nullopt : std::optional(before + 1);
    if (nextYear == year + 1 && next % 1000 == 1)
        return std::nullopt;
    return (year + 1) * 1000 + 1;
}

constexpr auto kUpdatedKey = "updated";

} // namespace

int firstKeptYear(int currentYear, int yearsToKeep) {
    if (yearsToKeep == kKeepAllYears)
        return kFirstIssueYear;
    return currentYear - std::clamp(yearsToKeep, 2, kMostYearsToKeep);
}

std::optional<RetentionCut> retentionCut(const HistorySnapshot& history, int currentYear, int yearsToKeep) {
    if (yearsToKeep == kKeepAllYears)
        return std::nullopt;
    const int years = std::clamp(yearsToKeep, 2, kMostYearsToKeep);
    const int keptFrom = firstKeptYear(currentYear, yearsToKeep);
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

std::string conflictLine(const Conflict& c) {
    if (c.shipped)
        return "第 " + std::to_string(c.issue) + " 期：附带的样本为 " + digitsText(c.stored) + "，来源为 " +
               digitsText(c.source) + "，保留样本的号码";
    return "第 " + std::to_string(c.issue) + " 期：已存 " + digitsText(c.stored) + "，来源为 " +
           digitsText(c.source) + "，保留已存号码";
}

OnlineMerge::OnlineMerge(const HistorySnapshot& history, int currentYear, int yearsToKeep, int segmentParam,
                         std::span<const DrawLine> shipped)
    : m_currentYear(currentYear), m_keptFrom(firstKeptYear(currentYear, yearsToKeep)),
      m_keepAll(yearsToKeep == kKeepAllYears), m_segmentParam(segmentParam) {
    if (const DrawRow* last = history.last())
        m_lastStored = last->sqqh;
    for (std::size_t i = history.size() - std::min(history.size(), kComparedDraws); i < history.size(); ++i)
        m_known.emplace(history.issue(i), Known{history.digits(i), false});
    // The shipped history is a draw's record only up to the year in progress.
    const auto usable = [&](const DrawLine& d) {
        return d.issue / 1000 <= currentYear && !issueProblem(d.issue, currentYear);
    };
    if (m_lastStored == 0) {
        for (const DrawLine& d : shipped)
            if (d.issue >= m_keptFrom * 1000 && usable(d) &&
                (m_base.empty() || d.issue > m_base.back().issue))
                m_base.push_back(d);
        for (std::size_t i = m_base.size() - std::min(m_base.size(), kComparedDraws); i < m_base.size(); ++i)
            m_known.emplace(m_base[i].issue, Known{m_base[i].digits, true});
    }
    m_floor = lastKnown() != 0 ? lastKnown() : m_keptFrom * 1000;
    for (const DrawLine& d : shipped)
        if (d.issue > m_floor && usable(d))
            m_fill.emplace(d.issue, d.digits);
}

std::int32_t OnlineMerge::lastKnown() const {
    return m_lastStored != 0 ? m_lastStored : m_base.empty() ? 0 : m_base.back().issue;
}

int OnlineMerge::firstChartYear() const {
    return std::max(lastKnown() != 0 ? lastKnown() / 1000 : m_keptFrom, kChartFirstYear);
}

int OnlineMerge::take(int page, std::span<const SourceItem> items) {
    int added = 0;
    for (const SourceItem& item : items) {
        // No draw comes from a year that has not begun, whatever the source says; stored, it
        // would bar every real issue before it.
        if (item.issue / 1000 > m_currentYear) {
            m_future.insert(item.issue);
            continue;
        }
        // A number no draw can have (sequence 999) is a slip of the source, not a draw.
        if (issueProblem(item.issue, m_currentYear))
            continue;
        if (item.digits)
            m_foundAny = true;
        if (item.issue <= m_floor) {
            m_reached = true;
            // Only the first word on a stored draw counts, as it does for a new one.
            if (const auto known = m_known.find(item.issue);
                item.digits && known != m_known.end() && known->second.digits != *item.digits)
                m_conflicts.try_emplace(item.issue, Conflict{item.issue, known->second.digits, *item.digits,
                                                             known->second.shipped});
            continue;
        }
        if (item.digits) {
            if (m_new.try_emplace(item.issue, *item.digits).second) {
                m_unreadable.erase(item.issue);
                ++added;
            }
        } else if (!item.unreadable.empty() && !m_new.contains(item.issue)) {
            m_unreadable.try_emplace(item.issue, item.unreadable);
        }
    }
    m_pages.push_back({page, added});
    return added;
}

int OnlineMerge::addDraws(int page, std::span<const DrawLine> draws) {
    std::vector<SourceItem> items;
    items.reserve(draws.size());
    for (const DrawLine& d : draws)
        items.push_back({d.issue, d.digits, {}});
    return take(page, items);
}

std::vector<Conflict> OnlineMerge::conflicts() const {
    std::map<std::int32_t, Conflict> all = m_conflicts;
    for (const auto& [issue, digits] : m_new)
        if (const auto shipped = m_fill.find(issue); shipped != m_fill.end() && shipped->second != digits)
            all.try_emplace(issue, Conflict{issue, shipped->second, digits, true});
    std::vector<Conflict> list;
    for (const auto& [issue, c] : all)
        list.push_back(c);
    return list;
}

std::optional<std::string> OnlineMerge::unreadable(std::int32_t issue) const {
    const auto it = m_unreadable.find(issue);
    return it == m_unreadable.end() ? std::nullopt : std::optional(it->second);
}

OnlineMerge::Outcome OnlineMerge::outcome() const {
    Outcome o;
    o.draws = m_base;
    o.shipped = static_cast<long long>(m_base.size());
    std::optional<std::int32_t> before;
    if (lastKnown() != 0)
        before = lastKnown();
    else if (m_reached && !m_keepAll)
        before = (m_keptFrom - 1) * 1000 + 999; // the kept years start with the first issue of the first
    else if (!m_new.empty())
        o.sourceStart = m_new.begin()->first;

    auto fill = m_fill.begin();
    const auto takeShipped = [&](std::int32_t until) {
        // The shipped draws the source lacks before `until`, as far as they follow on.
        for (; fill != m_fill.end() && fill->first < until; ++fill) {
            if (m_new.contains(fill->first) || (before && fill->first <= *before))
                continue;
            if (!before || missingBetween(*before, fill->first))
                return;
            o.draws.push_back({fill->first, fill->second});
            ++o.shipped;
            before = fill->first;
        }
    };
    for (const auto& [issue, digits] : m_new) {
        takeShipped(issue);
        if (const auto hole = before ? missingBetween(*before, issue) : std::nullopt) {
            o.hole = hole;
            return o;
        }
        // Where the shipped history has the draw too, its digits are the ones kept.
        const auto shipped = m_fill.find(issue);
        o.draws.push_back({issue, shipped != m_fill.end() ? shipped->second : digits});
        before = issue;
    }
    // A newest issue whose digits cannot be read was drawn all the same.
    if (const auto last = m_unreadable.upper_bound(before.value_or(m_floor)); last != m_unreadable.end()) {
        takeShipped(last->first + 1);
        if (!before || *before < last->first)
            o.hole = before ? missingBetween(*before, last->first).value_or(last->first) : last->first;
    }
    return o;
}

Result<bool> OnlineMerge::commit(HistoryStore& store) const {
    const Outcome o = outcome();
    if (o.draws.empty())
        return false;
    // Another program may have stored draws since the update began: the store checks the issues
    // and derives the rows from the history as it stands when they are written.
    if (auto written = store.appendDraws(o.draws, m_segmentParam); !written)
        return std::unexpected(written.error());
    return true;
}

Result<std::optional<std::chrono::system_clock::time_point>> lastUpdated(const HistoryStore& store) {
    auto text = store.meta(kUpdatedKey);
    if (!text)
        return std::unexpected(text.error());
    const auto seconds = *text ? parseWholeNumber(**text, 0, 1LL << 40) : std::nullopt;
    if (!seconds)
        return std::nullopt;
    return std::chrono::system_clock::time_point(std::chrono::seconds(*seconds));
}

Result<void> markUpdated(HistoryStore& store, std::chrono::system_clock::time_point when) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
    return store.setMeta(kUpdatedKey, std::to_string(seconds));
}

std::chrono::system_clock::time_point latestDrawTime(std::chrono::system_clock::time_point now) {
    using namespace std::chrono;
    constexpr auto kChina = hours(8);
    constexpr auto kResults = hours(21) + minutes(30);
    const auto chinaDay = floor<days>(now + kChina);
    auto drawn = time_point_cast<system_clock::duration>(chinaDay + kResults - kChina);
    if (drawn > now)
        drawn -= days(1);
    return drawn;
}

bool updateDue(std::optional<std::chrono::system_clock::time_point> updated,
               std::chrono::system_clock::time_point now) {
    return !updated || *updated < latestDrawTime(now);
}

} // namespace brenvik
