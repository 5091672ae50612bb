#include "Chance.h"

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

} // namespace brenvik::stats
