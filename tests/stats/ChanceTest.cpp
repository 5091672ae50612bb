#include "Chance.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace brenvik::stats
