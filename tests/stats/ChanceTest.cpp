// SPDX-License-Identifier: GPL-3.0-or-later
#include "Chance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <map>
#include <vector>

namespace brenvik::stats {
namespace {

// Published 95 % Wilson intervals (Newcombe 1998, Table I; Brown, Cai & DasGupta 2001).
TEST(WilsonInterval, AgreesWithPublishedValues) {
    struct Case {
        long long k, n;
        double low, high;
    } cases[] = {
        {81, 263, 0.2553, 0.3662}, // Newcombe's example 81/263
        {15, 148, 0.0624, 0.1605}, // 15/148
        {0, 20, 0.0, 0.1611},      // 0/20
        {1, 29, 0.0061, 0.1718},   // 1/29
    };
    for (const Case& c : cases) {
        const Interval i = wilsonInterval(c.k, c.n);
        EXPECT_NEAR(i.low, c.low, 5e-5) << c.k << "/" << c.n;
        EXPECT_NEAR(i.high, c.high, 5e-5) << c.k << "/" << c.n;
    }
    EXPECT_TRUE(excludes(wilsonInterval(0, 20), 0.2));
    EXPECT_FALSE(excludes(wilsonInterval(81, 263), 0.3));
}

// The upper tail against the sum of binomial terms, term by term.
TEST(BinomialUpperTail, EqualsTheSumOfItsTerms) {
    for (long long n : {0, 1, 7, 30, 200})
        for (double c : {0.1, 0.2, 0.5, 0.9})
            for (long long h = -1; h <= n + 1; ++h) {
                double sum = 0;
                for (long long x = std::max(0LL, h); x <= n; ++x) {
                    // C(n, x) c^x (1-c)^(n-x), built in logs to stay in range
                    sum += std::exp(std::lgamma(n + 1.0) - std::lgamma(x + 1.0) - std::lgamma(n - x + 1.0) +
                                    x * std::log(c) + (n - x) * std::log1p(-c));
                }
                EXPECT_NEAR(binomialUpperTail(n, c, h), std::min(1.0, sum), 1e-9)
                    << n << " " << c << " " << h;
            }
}

// The 0.95 and 0.99 points of the chi-squared distribution as printed in the usual tables.
TEST(ChiSquaredUpperTail, AgreesWithPublishedQuantiles) {
    struct Case {
        int df;
        double x, tail;
    } cases[] = {{1, 3.841, 0.05},  {1, 6.635, 0.01},  {4, 9.488, 0.05},
                 {4, 13.277, 0.01}, {9, 16.919, 0.05}, {9, 21.666, 0.01}};
    for (const Case& c : cases)
        EXPECT_NEAR(chiSquaredUpperTail(c.x, c.df), c.tail, c.tail * 1e-3) << c.df << " " << c.x;
}

// Every way n draws can fall on k outcomes, one by one, with its chance, gathered by the sum of
// the squared counts.
std::map<long long, double> squaresByEnumeration(int n, int k) {
    std::map<long long, double> chance;
    const double logAll = std::lgamma(n + 1.0) - n * std::log(static_cast<double>(k));
    std::function<void(int, int, long long, double)> place = [&](int outcome, int left, long long squares,
                                                                 double logFactorials) {
        if (outcome == k - 1) {
            chance[squares + static_cast<long long>(left) * left] +=
                std::exp(logAll - logFactorials - std::lgamma(left + 1.0));
            return;
        }
        for (int c = 0; c <= left; ++c)
            place(outcome + 1, left - c, squares + static_cast<long long>(c) * c,
                  logFactorials + std::lgamma(c + 1.0));
    };
    place(0, n, 0, 0);
    return chance;
}

TEST(MultinomialSquaresUpperTail, EqualsTheEnumerationOfEveryTally) {
    for (int k : {2, 5, 10})
        for (int n = 0; n <= 12; ++n) {
            const auto chance = squaresByEnumeration(n, k);
            double tail = 0;
            for (auto it = chance.rbegin(); it != chance.rend(); ++it) {
                tail += it->second;
                EXPECT_NEAR(multinomialSquaresUpperTail(n, k, it->first), tail, 1e-12)
                    << "n " << n << " k " << k << " squares " << it->first;
                // A sum that never occurs (every Σc² has the parity of n) has the tail of the next one.
                if (!chance.contains(it->first - 1)) {
                    EXPECT_NEAR(multinomialSquaresUpperTail(n, k, it->first - 1), tail, 1e-12);
                }
            }
            EXPECT_NEAR(tail, 1.0, 1e-12);
            EXPECT_EQ(multinomialSquaresUpperTail(n, k, chance.rbegin()->first + 1), 0.0);
        }
}

TEST(PoissonBinomialUpperTail, EqualsTheEnumerationOfEveryOutcome) {
    // Shares K/k of picks from the three kinds of outcome: 10, 5 and 2 of them.
    const std::vector<double> shares = {0.1, 0.5, 0.4, 0.3, 0.2, 0.5, 0.9, 0.6, 0.1, 0.8, 0.5, 0.7};
    for (std::size_t trials = 0; trials <= shares.size(); ++trials) {
        const std::span<const double> chances(shares.data(), trials);
        std::vector<double> exactly(trials + 1, 0.0);
        for (unsigned mask = 0; mask < (1u << trials); ++mask) {
            double chance = 1;
            for (std::size_t i = 0; i < trials; ++i)
                chance *= (mask >> i & 1u) ? chances[i] : 1 - chances[i];
            exactly[std::popcount(mask)] += chance;
        }
        for (long long hits = -1; hits <= static_cast<long long>(trials) + 1; ++hits) {
            double tail = 0;
            for (long long h = std::max(0LL, hits); h <= static_cast<long long>(trials); ++h)
                tail += exactly[h];
            EXPECT_NEAR(poissonBinomialUpperTail(chances, hits), tail, 1e-13) << trials << " " << hits;
        }
    }
}

} // namespace
} // namespace brenvik::stats
