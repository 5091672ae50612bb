// SPDX-License-Identifier: GPL-3.0-or-later
#include "TallyStatistics.h"

#include <gtest/gtest.h>

#include <vector>

namespace brenvik::stats {
namespace {

TEST(TallyStatistics, ChiSquaredFromFiveExpectedPerOutcomeExactBelow) {
    struct Case {
        std::vector<int> counts;
        TestMethod method;
        double statistic;
        double pLow, pHigh; // where p must lie
    } cases[] = {
        {{5, 5}, TestMethod::ChiSquared, 0.0, 1.0, 1.0},
        // Two outcomes, three draws all on one: 2 of the 8 equally likely sequences do that.
        {{3, 0}, TestMethod::Exact, 3.0, 0.25, 0.25},
        {{2, 1}, TestMethod::Exact, 1.0 / 3, 1.0, 1.0}, // nothing is more even than 2:1
        // Published 0.995 and 0.999 points of df 9 are 23.589 and 27.877.
        {{14, 6, 5, 5, 5, 5, 5, 5, 0, 0}, TestMethod::ChiSquared, 26.4, 0.001, 0.005},
        // 49 codes on 10 outcomes, as even as they can be: certain, which the curve would not say.
        {{5, 5, 5, 5, 5, 5, 5, 5, 5, 4}, TestMethod::Exact, 9.0 / 49, 1.0, 1.0},
    };
    for (const Case& c : cases) {
        const auto t = tallyStatistics(c.counts);
        ASSERT_TRUE(t.has_value());
        EXPECT_EQ(t->method, c.method) << c.statistic;
        EXPECT_NEAR(t->statistic, c.statistic, 1e-12);
        EXPECT_GE(t->p, c.pLow - 1e-12) << c.statistic;
        EXPECT_LE(t->p, c.pHigh + 1e-12) << c.statistic;
    }
    EXPECT_FALSE(tallyStatistics(std::vector<int>{0, 0, 0, 0, 0}).has_value()) << "no code counted";
}

TEST(TallyStatistics, VerdictLineSharesAlphaAmongTheSearchesRun) {
    const auto withP = [](double p) {
        TallyStatistics t;
        t.statistic = 3.2;
        t.df = 9;
        t.p = p;
        return std::optional(t);
    };
    struct Case {
        std::optional<TallyStatistics> stats;
        int searches;
        const char* line;
    } cases[] = {
        {withP(0.9561), 1, "与随机相比：X²=3.20，自由度 9，p=0.956 —— 未见显著偏离（α=0.05）"},
        {withP(0.01), 3,
         "与随机相比：X²=3.20，自由度 9，p=0.01 —— 显著偏离（p < α；本次已检索 3 次，α=0.05/3）"},
        {withP(0.01), 5,
         "与随机相比：X²=3.20，自由度 9，p=0.01 —— 未见显著偏离（本次已检索 5 次，α=0.05/5）"},
        {withP(0.0004), 1, "与随机相比：X²=3.20，自由度 9，p<0.001 —— 显著偏离（p < α；α=0.05）"},
        {std::nullopt, 1, "与随机相比：-（没有可检验的结果）"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(verdictLine(c.stats, c.searches), c.line);
    EXPECT_EQ(intervalText({0.1214, 0.19849}), "12.1–19.8%");
}

} // namespace
} // namespace brenvik::stats
