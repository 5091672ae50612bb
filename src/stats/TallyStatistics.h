// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Chance.h"
#include "Tally.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik::stats {

// How the p-value was reached: the chi-squared curve, or counted exactly over every possible tally.
enum class TestMethod { ChiSquared, Exact };

// "chi2" or "exact", as the companion's JSON names them.
std::string_view methodName(TestMethod method);

// How far one tally lies from what fair draws would give. Under fair draws every outcome of a
// kind is equally likely, because each kind splits the ten digits evenly.
struct TallyStatistics {
    long long n = 0;      // codes counted
    int outcomes = 0;     // k
    double expected = 0;  // n / k, the same for every outcome
    double statistic = 0; // Pearson's X²
    int df = 0;           // k − 1
    double p = 1;         // chance of an X² at least as large under fair draws
    TestMethod method = TestMethod::ChiSquared;
    std::vector<Interval> intervals; // 95 % interval of each count's share, in the order given
};

// Below this expected count per outcome the chi-squared curve is too rough and p is counted exactly.
inline constexpr double kExactBelowExpected = 5.0;
// The exact count needs memory growing as n³; a tally has at most 10 outcomes, so it never gets
// near this many codes, and counts of more outcomes fall back on the curve.
inline constexpr long long kExactAtMost = 100;

// The statistics of a tally's counts, one per outcome of its kind. Nothing when no code was
// counted: a tally of nothing says nothing about chance.
std::optional<TallyStatistics> tallyStatistics(std::span<const int> counts);

// The same for a tally as the grids rank it (intervals in the order of `ranked`). Nothing as
// well when codes were dropped as out of range: the outcomes left then no longer cover what
// was counted, and a test of them would report a lean the draws never had.
std::optional<TallyStatistics> tallyStatistics(const Tally& tally);

// Whether p is below the 0.05 level shared out among `searchesRun` searches (Bonferroni): the more
// tallies a user tries, the more of them look lopsided by luck alone.
bool significant(double p, int searchesRun);

// The one line under a tally that says how it compares with chance, e.g.
// "与随机相比：X²=3.20，自由度 9，p=0.956 —— 未见显著偏离（α=0.05）".
std::string verdictLine(const std::optional<TallyStatistics>& stats, int searchesRun);

// Cell texts: the expected count ("4.9") and an interval as percentages ("12.1–19.8%").
std::string expectedText(double expected);
std::string intervalText(const Interval& interval);

} // namespace brenvik::stats
