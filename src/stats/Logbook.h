// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"
#include "HistorySnapshot.h"
#include "PredictionLog.h"
#include "SearchConditions.h"
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

// What is said when the search behind a prediction found no draw to tally.
inline constexpr const char* kEmptyTally = "检索没有找到任何一期，无法记录预测";

// The entry that records the first `pick` outcomes of `tally`, the result of the search `searched`
// (follow or combination, as it says), as the prediction for `issue`: exactly what the tally shows,
// nothing searched again. Refused when `pick` is not 1..k − 1 (all k outcomes are a certain hit)
// or when the tally counted nothing (kEmptyTally); the logbook itself refuses an issue whose draw
// is known.
Result<LogEntry> predictionOf(const SearchConditions& searched, const Tally& tally, int pick,
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

// A play beside the stored history: its price, and once scored, what it won.
struct ScoredPlay {
    Play play;
    long long cost = 0; // 2 yuan a ticket
    double chance = 0;  // the share of fair draws that win something
    std::optional<bool> hit{};
    std::optional<long long> won{}; // yuan, once scored
    bool drawChanged = false;       // as ScoredEntry's
    std::optional<std::array<int, 3>> drawNow{};

    std::optional<long long> net() const { return won ? std::optional(*won - cost) : std::nullopt; }
};

// Plays are scored as entries are: against the draw their issue had when it was first stored.
std::vector<ScoredPlay> scorePlays(std::span<const Play> plays, const HistorySnapshot& history);

// "开奖号码已变：记录时 137，现为 138" (or "…，现已删除") for an entry or a play whose draw changed;
// empty otherwise.
std::string changeNote(const ScoredEntry& entry);
std::string changeNote(const ScoredPlay& play);

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

// The money of the plays whose draws are stored, and their hits against chance.
struct PlaySummary {
    int scored = 0;
    long long cost = 0, won = 0;
    int hits = 0;
    double expected = 0;     // Σ of each play's chance
    std::optional<double> p; // P(X >= hits) for fair draws; nothing when nothing is scored
    int open = 0;            // plays whose draws are to come
    long long openCost = 0;  // and what they cost
    long long net() const { return won - cost; }
};
PlaySummary summarizePlays(std::span<const ScoredPlay> plays);

// "已开奖 4 次：花费 1,120 元，中奖 1,040 元，净亏 80 元；命中 1 次，随机期望 0.56 次，p=0.43"
std::string playSummaryLine(const PlaySummary& summary);

} // namespace brenvik::stats
