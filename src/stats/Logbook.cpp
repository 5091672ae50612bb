// SPDX-License-Identifier: GPL-3.0-or-later
#include "Logbook.h"

#include "Chance.h"
#include "PatternSource.h"

#include <algorithm>
#include <cstdio>

namespace brenvik::stats {

int outcomeCount(Kind kind) {
    return kind == Kind::Segment ? 5 : counterSize(kind);
}

Result<Prediction> predictNext(const SearchIndex& index, SearchConditions setUp, int pick,
                               std::int32_t issue) {
    const HistorySnapshot& history = index.history();
    const int k = outcomeCount(setUp.resultKind);
    if (pick < 1 || pick >= k)
        return fail(ErrorCode::Invalid, "预测个数须为 1 到 " + std::to_string(k - 1) + "，现在是 " +
                                            std::to_string(pick) + "，未记录。");
    const auto pattern = patternFromHistory(history, setUp.lastDraw, setUp.n, setUp.searchType);
    if (history.empty() || !pattern)
        return fail(ErrorCode::Empty, history.empty() ? "历史号码为空，无法记录预测。"
                                                      : "历史号码不足前 " + std::to_string(setUp.n) +
                                                            " 期，无法取检索号码，未记录。");
    if (const DrawRow* last = history.last(); last->sqqh >= issue)
        return fail(ErrorCode::Invalid,
                    "第 " + std::to_string(issue) + " 期：" + std::string(kAlreadyDrawn) + "。");

    Prediction out;
    out.conditions = std::move(setUp);
    SearchConditions& c = out.conditions;
    c.combination = false;
    c.before.reset();
    for (std::size_t p = 0; p < 3; ++p)
        c.pattern[p] = (*pattern)[p];
    out.selection = followSearch(index, c.followQuery());
    out.tally =
        tallyOutcomes(history, out.selection.rows, c.resultKind, c.resultPosition, c.group, c.segmentParam);
    // The top of an empty tally is only the first outcome of the list, not a prediction.
    if (out.tally.denominator == 0)
        return fail(ErrorCode::Empty, std::string(kEmptyTally) + "。");

    LogEntry& e = out.entry;
    e.issue = issue;
    e.conditions = conditionSummary(c, out.tally.matched);
    e.resultKind = c.resultKind;
    e.resultPosition = c.resultPosition;
    e.segmentParam = c.segmentParam;
    for (int i = 0; i < pick && i < static_cast<int>(out.tally.ranked.size()); ++i)
        e.picks.push_back(out.tally.ranked[static_cast<std::size_t>(i)].outcome);
    return out;
}

std::vector<ScoredEntry> scoreEntries(std::span<const LogEntry> entries, const HistorySnapshot& history) {
    std::vector<ScoredEntry> out;
    out.reserve(entries.size());
    for (const LogEntry& e : entries) {
        ScoredEntry& s = out.emplace_back(ScoredEntry{.entry = e});
        const auto at = history.lastAtOrBefore(e.issue);
        if (at && history.issue(*at) == e.issue)
            s.drawNow = std::array{history.digit(*at, 1), history.digit(*at, 2), history.digit(*at, 3)};
        const auto scoredWith = e.score ? std::optional(e.score->digits) : s.drawNow;
        if (!scoredWith)
            continue;
        // From the digit, with the entry's own segment parameter: the stored segment codes may
        // have been written with the other one.
        const int digit = (*scoredWith)[static_cast<std::size_t>(e.resultPosition - 1)];
        const int actual = codesOf(digit, e.segmentParam)[static_cast<std::size_t>(e.resultKind)];
        s.actual = actual;
        s.hit = std::ranges::find(e.picks, actual) != e.picks.end();
        s.drawChanged = s.drawNow != scoredWith;
    }
    return out;
}

std::string changeNote(const ScoredEntry& entry) {
    if (!entry.drawChanged || !entry.entry.score)
        return {};
    const auto digits = [](const std::array<int, 3>& d) {
        return std::to_string(d[0]) + std::to_string(d[1]) + std::to_string(d[2]);
    };
    return "开奖号码已变：记录时 " + digits(entry.entry.score->digits) +
           (entry.drawNow ? "，现为 " + digits(*entry.drawNow) : std::string("，现已删除"));
}

LogSummary summarize(std::span<const ScoredEntry> entries) {
    LogSummary s;
    std::vector<double> chances;
    for (const ScoredEntry& e : entries) {
        if (!e.hit)
            continue;
        ++s.scored;
        s.hits += *e.hit ? 1 : 0;
        const double chance =
            std::min(1.0, static_cast<double>(e.entry.picks.size()) / outcomeCount(e.entry.resultKind));
        chances.push_back(chance);
        s.expected += chance;
    }
    if (s.scored > 0)
        s.p = poissonBinomialUpperTail(chances, s.hits);
    return s;
}

std::string summaryLine(const LogSummary& summary) {
    if (summary.scored == 0)
        return "尚无已开奖的预测记录。";
    char buf[160];
    std::snprintf(buf, sizeof buf, "已计分 %d 条，命中 %d 次，随机期望 %.2f 次，p=%.3g", summary.scored,
                  summary.hits, summary.expected, *summary.p);
    std::string line = buf;
    line += *summary.p < 0.05 ? " —— 命中次数显著多于随机（α=0.05）" : " —— 未见显著多于随机";
    return line;
}

} // namespace brenvik::stats
