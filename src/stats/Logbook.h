// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"
#include "FollowSearch.h"
#include "HistorySnapshot.h"
#include "PredictionLog.h"
#include "SearchConditions.h"
#include "SearchIndex.h"
#include "Tally.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace brenvik::stats {

// The outcomes a tally of `kind` lists (k): 10 digits, 2 for big/small and odd/even, 5 segments.
int outcomeCount(Kind kind);

// A prediction ready to record: the follow search it comes from, and the entry.
struct Prediction {
    SearchConditions conditions; // with the pattern the search took
    Selection selection;
    Tally tally;
    LogEntry entry; // no id and no time yet
};

// The follow search `setUp` describes, with its pattern taken from the newest stored draw (in the
// N-back mode the draw N − 1 before it), and its first `pick` outcomes as the entry's picks, for
// `issue`. Refused when the history is empty, when `pick` is not 1..k, or when the issue's draw
// (or a later one) is stored already.
Result<Prediction> predictNext(const SearchIndex& index, SearchConditions setUp, int pick,
                               std::int32_t issue);

// An entry beside the stored history: scored once its issue is stored.
struct ScoredEntry {
    LogEntry entry;
    std::optional<int> actual; // the draw's code of the entry's kind at its position
    std::optional<bool> hit;   // whether it is among the picks
};

// Scores follow the history as it is now: a deleted draw makes its entries unscored again.
std::vector<ScoredEntry> scoreEntries(std::span<const LogEntry> entries, const HistorySnapshot& history);

// How the scored entries did against chance. Each entry with K picks of k outcomes hits with
// chance K/k when the draws are fair.
struct LogSummary {
    int scored = 0;
    int hits = 0;
    double expected = 0; // Σ K/k
    // P(X >= hits) for X the number of hits of fair draws; nothing when nothing is scored.
    std::optional<double> p;
};
LogSummary summarize(std::span<const ScoredEntry> entries);

// "已计分 12 条，命中 5 次，随机期望 3.20 次，p=0.180": the line under the logbook.
std::string summaryLine(const LogSummary& summary);

} // namespace brenvik::stats
