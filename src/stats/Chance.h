// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>

namespace brenvik::stats {

// A two-sided interval of a share, as fractions between 0 and 1.
struct Interval {
    double low = 0;
    double high = 0;
};

// The 95 % Wilson score interval of the share `successes` / `n` (n > 0). Unlike the plain
// normal interval it stays inside [0, 1] and is sound for shares near 0 or 1 and for small n.
Interval wilsonInterval(long long successes, long long n);

// P(X >= hits) for X ~ Binomial(trials, chance): how often pure luck does at least this well.
// 1 when hits <= 0.
double binomialUpperTail(long long trials, double chance, long long hits);

// P(X >= hits) where X counts the successes of independent trials with the given chances, such
// as picks of different sizes scored one after another. 1 when hits <= 0, 0 beyond the trials.
double poissonBinomialUpperTail(std::span<const double> chances, long long hits);

// P(X² >= x) for X² following the chi-squared distribution with `df` (> 0) degrees of freedom.
double chiSquaredUpperTail(double x, int df);

// The exact chance that n fair draws spread over k equally likely outcomes give counts whose
// squares sum to at least `sumOfSquares`. Pearson's X² is (k·Σc² − n²)/n, so this is the exact
// p-value of X² where the chi-squared curve is too rough (few draws per outcome). Meant for
// n below 5k; the work grows as k·n⁴.
double multinomialSquaresUpperTail(int n, int k, long long sumOfSquares);

// Whether an interval leaves out a share: the observed share differs from it at the 95 % level.
inline bool excludes(const Interval& interval, double share) {
    return share < interval.low || share > interval.high;
}

} // namespace brenvik::stats
