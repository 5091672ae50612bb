#include "Chance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

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
                EXPECT_NEAR(binomialUpperTail(n, c, h), std::min(1.0, sum), 1e-9) << n << " " << c << " " << h;
            }
}

} // namespace
} // namespace brenvik::stats
