// SPDX-License-Identifier: GPL-3.0-or-later
#include "Logbook.h"

#include "Chance.h"
#include "FilterRecord.h"
#include "IssueNumber.h"

#include <algorithm>
#include <cstdio>

namespace brenvik::stats {

int outcomeCount(Kind kind) {
    return kind == Kind::Segment ? 5 : counterSize(kind);
}

Result<LogEntry> predictionOf(const SearchConditions& searched, const Tally& tally, int pick,
                              std::int32_t issue) {
    const int k = outcomeCount(searched.resultKind);
    if (pick < 1 || pick >= k)
        return fail(ErrorCode::Invalid, "预测个数须为 1 到 " + std::to_string(k - 1) + "，现在是 " +
                                            std::to_string(pick) + "，未记录。");
    // The top of an empty tally is only the first outcome of the list, not a prediction.
    if (tally.denominator == 0)
        return fail(ErrorCode::Empty, std::string(kEmptyTally) + "。");
    LogEntry e;
    e.issue = issue;
    e.conditions = conditionSummary(searched, tally.matched);
    e.resultKind = searched.resultKind;
    e.resultPosition = searched.resultPosition;
    e.segmentParam = searched.segmentParam;
    for (int i = 0; i < pick && i < static_cast<int>(tally.ranked.size()); ++i)
        e.picks.push_back(tally.ranked[static_cast<std::size_t>(i)].outcome);
    return e;
}

namespace {

// The draw a record was scored with (its stored score, or for a history without stored scores the
// draw as it is), and the draw its issue holds now.
struct DrawSeen {
    std::optional<std::array<int, 3>> scoredWith, now;
};

DrawSeen drawSeen(std::int32_t issue, const std::optional<EntryScore>& score,
                  const HistorySnapshot& history) {
    DrawSeen seen;
    const auto at = history.lastAtOrBefore(issue);
    if (at && history.issue(*at) == issue)
        seen.now = std::array{history.digit(*at, 1), history.digit(*at, 2), history.digit(*at, 3)};
    seen.scoredWith = score ? std::optional(score->digits) : seen.now;
    return seen;
}

std::string changeNote(bool changed, const std::optional<EntryScore>& score,
                       const std::optional<std::array<int, 3>>& now) {
    if (!changed || !score)
        return {};
    const auto digits = [](const std::array<int, 3>& d) {
        return std::to_string(d[0]) + std::to_string(d[1]) + std::to_string(d[2]);
    };
    return "开奖号码已变：记录时 " + digits(score->digits) +
           (now ? "，现为 " + digits(*now) : std::string("，现已删除"));
}

} // namespace

std::vector<ScoredEntry> scoreEntries(std::span<const LogEntry> entries, const HistorySnapshot& history) {
    std::vector<ScoredEntry> out;
    out.reserve(entries.size());
    for (const LogEntry& e : entries) {
        ScoredEntry& s = out.emplace_back(ScoredEntry{.entry = e});
        const DrawSeen seen = drawSeen(e.issue, e.score, history);
        s.drawNow = seen.now;
        if (!seen.scoredWith)
            continue;
        // From the digit, with the entry's own segment parameter: the stored segment codes may
        // have been written with the other one.
        const int digit = (*seen.scoredWith)[static_cast<std::size_t>(e.resultPosition - 1)];
        const int actual = codesOf(digit, e.segmentParam)[static_cast<std::size_t>(e.resultKind)];
        s.actual = actual;
        s.hit = std::ranges::find(e.picks, actual) != e.picks.end();
        s.drawChanged = s.drawNow != seen.scoredWith;
    }
    return out;
}

std::string changeNote(const ScoredEntry& entry) {
    return changeNote(entry.drawChanged, entry.entry.score, entry.drawNow);
}

std::vector<ScoredPlay> scorePlays(std::span<const Play> plays, const HistorySnapshot& history) {
    std::vector<ScoredPlay> out;
    out.reserve(plays.size());
    for (const Play& p : plays) {
        ScoredPlay& s = out.emplace_back(ScoredPlay{.play = p});
        s.cost = kTicketYuan * static_cast<long long>(p.numbers.size());
        const PrizeTable prizes = prizeTable(p.numbers, p.ticket);
        s.chance = winningShare(prizes);
        const DrawSeen seen = drawSeen(p.issue, p.score, history);
        s.drawNow = seen.now;
        if (!seen.scoredWith)
            continue;
        const auto& d = *seen.scoredWith;
        s.won = prizes[static_cast<std::size_t>(d[0] * 100 + d[1] * 10 + d[2])];
        s.hit = *s.won > 0;
        s.drawChanged = s.drawNow != seen.scoredWith;
    }
    return out;
}

std::string changeNote(const ScoredPlay& play) {
    return changeNote(play.drawChanged, play.play.score, play.drawNow);
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

PlaySummary summarizePlays(std::span<const ScoredPlay> plays) {
    PlaySummary s;
    std::vector<double> chances;
    for (const ScoredPlay& p : plays) {
        if (!p.won) {
            ++s.open;
            s.openCost += p.cost;
            continue;
        }
        ++s.scored;
        s.cost += p.cost;
        s.won += *p.won;
        s.hits += *p.hit ? 1 : 0;
        chances.push_back(p.chance);
        s.expected += p.chance;
    }
    if (s.scored > 0)
        s.p = poissonBinomialUpperTail(chances, s.hits);
    return s;
}

std::string playSummaryLine(const PlaySummary& summary) {
    std::string line;
    if (summary.scored == 0) {
        line = "尚无已开奖的投注";
    } else {
        char buf[128];
        std::snprintf(buf, sizeof buf, "；命中 %d 次，随机期望 %.2f 次，p=%.3g", summary.hits,
                      summary.expected, *summary.p);
        line = "已开奖 " + std::to_string(summary.scored) + " 次：花费 " + groupedCount(summary.cost) +
               " 元，中奖 " + groupedCount(summary.won) + " 元，" + netText(summary.net()) + buf +
               (*summary.p < 0.05 ? "（命中次数显著多于随机）" : "（未见显著多于随机）");
    }
    if (summary.open > 0)
        line += "；另有 " + std::to_string(summary.open) + " 次未开奖，花费 " +
                groupedCount(summary.openCost) + " 元";
    return line + "。";
}

} // namespace brenvik::stats
