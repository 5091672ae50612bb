// SPDX-License-Identifier: GPL-3.0-or-later
#include "PatternSource.h"

#include "IssueNumber.h"

namespace brenvik {

Pattern patternOf(const DrawRow& row, Kind kind) {
    const int k = static_cast<int>(kind);
    return {row.own[0][k], row.own[1][k], row.own[2][k]};
}

std::optional<Pattern> patternFromHistory(const HistorySnapshot& history, bool lastDraw, int n, Kind kind) {
    const auto source = patternSourceIndex(history.size(), lastDraw, n);
    if (!source)
        return std::nullopt;
    return patternOf(history[*source], kind);
}

std::optional<BeforeIssue> patternBeforeIssue(const HistorySnapshot& history, std::int32_t chosenIssue,
                                              bool lastDraw, int n, Kind kind) {
    const auto reached = history.lastAtOrBefore(issueBefore(chosenIssue));
    if (!reached)
        return std::nullopt;
    BeforeIssue out;
    out.reached = *reached;
    const std::size_t back = lastDraw ? 0 : static_cast<std::size_t>(n - 1);
    if (n >= 1 && *reached >= back)
        out.pattern = patternOf(history[*reached - back], kind);
    return out;
}

std::string noPatternBefore(std::int32_t chosenIssue, bool lastDraw, int n) {
    const std::string issue = std::to_string(chosenIssue);
    if (lastDraw || n <= 1)
        return "第 " + issue + " 期之前没有历史号码，无法从中取检索号码。";
    return "第 " + issue + " 期之前没有足够的历史号码，无法取前 " + std::to_string(n) + " 期的检索号码。";
}

} // namespace brenvik
