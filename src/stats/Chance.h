#pragma once

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

// Whether an interval leaves out a share: the observed share differs from it at the 95 % level.
inline bool excludes(const Interval& interval, double share) {
    return share < interval.low || share > interval.high;
}

} // namespace brenvik::stats
