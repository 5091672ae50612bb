// SPDX-License-Identifier: GPL-3.0-or-later
#include "Chance.h"

#include <boost/math/distributions/binomial.hpp>
#include <boost/math/distributions/chi_squared.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace brenvik::stats {

namespace {

// The 97.5 % quantile of the standard normal distribution.
constexpr double kZ95 = 1.959963984540054;

} // namespace

Interval wilsonInterval(long long successes, long long n) {
    const double nn = static_cast<double>(n);
    const double p = static_cast<double>(successes) / nn;
    const double z2 = kZ95 * kZ95;
    const double centre = (p + z2 / (2 * nn)) / (1 + z2 / nn);
    const double half = kZ95 / (1 + z2 / nn) * std::sqrt(p * (1 - p) / nn + z2 / (4 * nn * nn));
    return {std::max(0.0, centre - half), std::min(1.0, centre + half)};
}

double binomialUpperTail(long long trials, double chance, long long hits) {
    if (hits <= 0)
        return 1.0;
    if (hits > trials)
        return 0.0;
    const boost::math::binomial_distribution<double> b(static_cast<double>(trials), chance);
    return boost::math::cdf(boost::math::complement(b, static_cast<double>(hits - 1)));
}

double poissonBinomialUpperTail(std::span<const double> chances, long long hits) {
    const auto trials = static_cast<long long>(chances.size());
    if (hits <= 0)
        return 1.0;
    if (hits > trials)
        return 0.0;
    // dist[j]: the chance of j successes among the trials taken so far. Only sums and products
    // of numbers in [0, 1], so the smallest tails keep their relative precision.
    std::vector<double> dist(chances.size() + 1, 0.0);
    dist[0] = 1.0;
    for (std::size_t i = 0; i < chances.size(); ++i) {
        const double q = chances[i];
        for (std::size_t j = i + 1; j > 0; --j)
            dist[j] = dist[j] * (1 - q) + dist[j - 1] * q;
        dist[0] *= 1 - q;
    }
    double tail = 0;
    for (auto j = static_cast<std::size_t>(hits); j < dist.size(); ++j)
        tail += dist[j];
    return std::min(1.0, tail);
}

double chiSquaredUpperTail(double x, int df) {
    if (x <= 0)
        return 1.0;
    const boost::math::chi_squared_distribution<double> chi(df);
    return boost::math::cdf(boost::math::complement(chi, x));
}

double multinomialSquaresUpperTail(int n, int k, long long sumOfSquares) {
    if (n <= 0 || k <= 1) // a single possible outcome: Σc² is n² for sure
        return static_cast<long long>(n) * n >= sumOfSquares ? 1.0 : 0.0;
    // A counting over the outcomes one at a time. The state is (codes placed so far m, their sum of
    // squares s); its weight is the sum of Π 1/c! over the ways to reach it. The chance of one full
    // set of counts is n!/Πc! · k^−n, so the weights only need that factor at the end. They stay
    // far inside the range of a double for every n this is meant for (1/49! is about 1e-63).
    // Only states that can be reached are kept and visited: s is at most m², has the parity of m
    // (c² and c are both odd or both even), and is at least what m codes spread as evenly as
    // possible over the outcomes so far square to. Squares only grow, so every s at or above the
    // bound counts alike and is kept as the least such s of m's parity.
    const long long bound = std::max(0LL, sumOfSquares);
    const auto highest = [bound](int m) {
        return std::min(static_cast<long long>(m) * m, bound + ((bound + m) & 1));
    };
    std::vector<std::size_t> offset(static_cast<std::size_t>(n) + 2, 0);
    for (int m = 0; m <= n; ++m)
        offset[static_cast<std::size_t>(m) + 1] =
            offset[static_cast<std::size_t>(m)] + static_cast<std::size_t>(highest(m) / 2) + 1;
    const auto at = [&](int m, long long s) {
        return offset[static_cast<std::size_t>(m)] + static_cast<std::size_t>(std::min(s, highest(m)) / 2);
    };
    const auto lowest = [&highest](int m, int outcomes) {
        const long long q = m / outcomes, r = m % outcomes;
        return std::min((outcomes - r) * q * q + r * (q + 1) * (q + 1), highest(m));
    };
    std::vector<double> inverseFactorial(n + 1);
    inverseFactorial[0] = 1;
    for (int c = 1; c <= n; ++c)
        inverseFactorial[c] = inverseFactorial[c - 1] / c;

    std::vector<double> weight(offset.back(), 0.0);
    std::vector<double> next(weight.size());
    weight[at(0, 0)] = 1;
    for (int outcome = 0; outcome < k - 1; ++outcome) {
        std::fill(next.begin(), next.end(), 0.0);
        for (int m = 0; m <= n; ++m)
            for (long long s = outcome == 0 ? highest(m) : lowest(m, outcome); s <= highest(m); s += 2) {
                const double w = weight[at(m, s)];
                if (w == 0)
                    continue;
                for (int c = 0; c <= n - m; ++c)
                    next[at(m + c, s + static_cast<long long>(c) * c)] += w * inverseFactorial[c];
            }
        weight.swap(next);
    }
    // The last outcome takes whatever codes are left.
    double tail = 0;
    for (int m = 0; m <= n; ++m) {
        const long long rest = static_cast<long long>(n - m) * (n - m);
        for (long long s = lowest(m, k - 1); s <= highest(m); s += 2)
            if (s + rest >= sumOfSquares)
                tail += weight[at(m, s)] * inverseFactorial[n - m];
    }
    return std::min(1.0, tail * std::exp(std::lgamma(n + 1.0) - n * std::log(static_cast<double>(k))));
}

} // namespace brenvik::stats
