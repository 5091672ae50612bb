#include "Chance.h"

#include <boost/math/distributions/binomial.hpp>

#include <algorithm>
#include <cmath>

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

} // namespace brenvik::stats
