// SPDX-License-Identifier: GPL-3.0-or-later
#include "FilterRecord.h"

#include "BacktestText.h"
#include "IssueNumber.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

namespace brenvik::stats {

namespace {

// The kept set as one byte per number: the draws' loop then reads a byte where a bitset would
// shift and mask, half the time over a million draws.
using KeptTable = std::array<std::uint8_t, kNumbers>;

KeptTable tableOf(const NumberSet& kept) {
    KeptTable t{};
    for (std::size_t n = 0; n < t.size(); ++n)
        t[n] = kept[n] ? 1 : 0;
    return t;
}

RowRange cutTo(RowRange range, std::size_t size) {
    range.last = std::min(range.last, size);
    range.first = std::min(range.first, range.last);
    return range;
}

int numberAt(const DrawDigits& d, std::size_t row) {
    return d.positions[0][row] * 100 + d.positions[1][row] * 10 + d.positions[2][row];
}

} // namespace

FilterRecord filterRecord(const NumberSet& kept, const DrawDigits& digits, RowRange range) {
    range = cutTo(range, digits.size());
    const KeptTable table = tableOf(kept);
    long long hits = 0;
    for (std::size_t row = range.first; row < range.last; ++row)
        hits += table[static_cast<std::size_t>(numberAt(digits, row))];

    FilterRecord r;
    r.kept = static_cast<int>(kept.count());
    r.share = r.kept / static_cast<double>(kNumbers);
    r.draws = static_cast<long long>(range.size());
    r.hits = hits;
    if (r.draws > 0) {
        r.rate = static_cast<double>(hits) / static_cast<double>(r.draws);
        r.interval = wilsonInterval(hits, r.draws);
        r.p = binomialUpperTail(r.draws, r.share, hits);
    }
    r.cost = kTicketYuan * r.kept * r.draws;
    r.won = kDirectPrizeYuan * hits;
    r.net = r.won - r.cost;
    return r;
}

std::vector<NetPoint> netCurve(const NumberSet& kept, const DrawDigits& digits, RowRange range,
                               std::size_t points) {
    range = cutTo(range, digits.size());
    const KeptTable table = tableOf(kept);
    const long long stake = kTicketYuan * static_cast<long long>(kept.count());
    const std::size_t n = range.size();
    const std::size_t step = std::max<std::size_t>(1, (n + std::max<std::size_t>(points, 1) - 1) /
                                                          std::max<std::size_t>(points, 1));
    std::vector<NetPoint> curve{{0, 0}};
    curve.reserve(n / step + 2);
    long long net = 0;
    for (std::size_t i = 0; i < n; ++i) {
        net += kDirectPrizeYuan * table[static_cast<std::size_t>(numberAt(digits, range.first + i))] - stake;
        if ((i + 1) % step == 0 || i + 1 == n)
            curve.push_back({i + 1, net});
    }
    return curve;
}

std::string pText(double p) {
    if (p < 0.001)
        return "p<0.001";
    char buf[16];
    std::snprintf(buf, sizeof buf, p < 0.01 ? "p=%.3f" : "p=%.2f", p);
    return buf;
}

std::string recordLine(const FilterRecord& r) {
    std::string s = "保留 " + groupedCount(r.kept) + " 注（" + percentText(r.share) + "）";
    if (r.kept == 0)
        return s + "：没有号码同时满足这些条件。";
    if (r.draws == 0)
        return s + "；所选范围内没有开奖号码，无从比较。";
    // One-sided: a filter can only be of use by hitting more often than its share.
    const char* verdict = r.p < 0.05 ? "比随机多中" : "与随机无异";
    s += "；历史上命中 " + percentText(r.rate) + "（95% 区间 " + percentText(r.interval.low) + "–" +
         percentText(r.interval.high) + "），" + verdict + "（" + pText(r.p) + "）";
    s += "；按每期全买计，花费 " + groupedCount(r.cost) + " 元，中奖 " + groupedCount(r.won) + " 元，";
    s += r.net < 0   ? "净亏 " + groupedCount(-r.net) + " 元。"
         : r.net > 0 ? "净赚 " + groupedCount(r.net) + " 元。"
                     : "不赚不亏。";
    return s;
}

} // namespace brenvik::stats
