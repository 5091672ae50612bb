// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"
#include "FollowSearch.h"
#include "HistorySnapshot.h"
#include "PredictionLog.h"
#include "SearchConditions.h"
#include "SearchIndex.h"
#include "Tally.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
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

// What is said when the search behind a prediction found no draw to tally.
inline constexpr const char* kEmptyTally = "检索没有找到任何一期，无法记录预测";

// The follow search `setUp` describes, with its pattern taken from the newest stored draw (in the
// N-back mode the draw N − 1 before it), and its first `pick` outcomes as the entry's picks, for
// `issue`. Refused when the history is empty, when `pick` is not 1..k − 1 (all k outcomes are a
// certain hit), when the search tallies nothing (kEmptyTally), or when the issue's draw (or a
// later one) is stored already.
Result<Prediction> predictNext(const SearchIndex& index, SearchConditions setUp, int pick,
                               std::int32_t issue);

// An entry beside the stored history: scored once its issue was stored.
struct ScoredEntry {
    LogEntry entry;
    std::optional<int> actual{}; // the draw's code of the entry's kind at its position
    std::optional<bool> hit{};   // whether it is among the picks
    // The draw it was scored against is no longer what the history holds: deleted (drawNow
    // empty) or stored again with other digits (drawNow).
    bool drawChanged = false;
    std::optional<std::array<int, 3>> drawNow{};
};

// An entry keeps the score it got when its draw was first stored, whatever became of that draw
// since; the history as it is now only tells whether the draw changed. An entry of a history
// that has no scores stored (an earlier version's, opened for reading only) is scored against
// the history as it is.
std::vector<ScoredEntry> scoreEntries(std::span<const LogEntry> entries, const HistorySnapshot& history);

// "开奖号码已变：记录时 137，现为 138" (or "…，现已删除") for an entry whose draw changed; empty
// otherwise.
std::string changeNote(const ScoredEntry& entry);

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
