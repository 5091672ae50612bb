// SPDX-License-Identifier: GPL-3.0-or-later
#include "TallyStatistics.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace brenvik::stats {

namespace {

constexpr double kAlpha = 0.05;

std::string formatted(const char* format, double value) {
    char buf[48];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

} // namespace

std::string_view methodName(TestMethod method) {
    return method == TestMethod::Exact ? "exact" : "chi2";
}

std::optional<TallyStatistics> tallyStatistics(std::span<const int> counts) {
    const long long n = std::accumulate(counts.begin(), counts.end(), 0LL);
    if (n <= 0 || counts.size() < 2)
        return std::nullopt;
    TallyStatistics t;
    t.n = n;
    t.outcomes = static_cast<int>(counts.size());
    t.df = t.outcomes - 1;
    t.expected = static_cast<double>(n) / t.outcomes;
    // X² = (k·Σc² − n²)/n: the numerator is an exact integer, so equal tallies give equal X².
    long long squares = 0;
    for (int c : counts)
        squares += static_cast<long long>(c) * c;
    t.statistic = static_cast<double>(t.outcomes * squares - n * n) / static_cast<double>(n);
    if (t.expected >= kExactBelowExpected || n > kExactAtMost) {
        t.p = chiSquaredUpperTail(t.statistic, t.df);
    } else {
        t.method = TestMethod::Exact;
        t.p = multinomialSquaresUpperTail(static_cast<int>(n), t.outcomes, squares);
    }
    for (int c : counts)
        t.intervals.push_back(wilsonInterval(c, n));
    return t;
}

std::optional<TallyStatistics> tallyStatistics(const Tally& tally) {
    if (tally.dropped > 0)
        return std::nullopt;
    std::vector<int> counts;
    for (const TallyRow& row : tally.ranked)
        counts.push_back(row.count);
    return tallyStatistics(counts);
}

bool significant(double p, int searchesRun) {
    return p < kAlpha / std::max(1, searchesRun);
}

std::string verdictLine(const std::optional<TallyStatistics>& stats, int searchesRun) {
    std::string line = "与随机相比：";
    if (!stats)
        return line + "-（没有可检验的结果）";
    line += formatted("X²=%.2f", stats->statistic) + "，自由度 " + std::to_string(stats->df) + "，";
    line += stats->p < 0.001 ? std::string("p<0.001") : formatted("p=%.3g", stats->p);
    const bool lean = significant(stats->p, searchesRun);
    line += lean ? " —— 显著偏离（p < α；" : " —— 未见显著偏离（";
    if (searchesRun > 1)
        line += "本次已检索 " + std::to_string(searchesRun) + " 次，α=0.05/" + std::to_string(searchesRun);
    else
        line += "α=0.05";
    return line + "）";
}

std::string expectedText(double expected) {
    return formatted("%.1f", expected);
}

std::string intervalText(const Interval& interval) {
    return formatted("%.1f", interval.low * 100) + "–" + formatted("%.1f", interval.high * 100) + "%";
}

} // namespace brenvik::stats
