// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Chance.h"
#include "NumberFilter.h"
#include "Omission.h"

#include <cstddef>
#include <string>
#include <vector>

namespace brenvik::stats {

// What buying every kept number in every draw of a range would have done: each number one 2-yuan
// ticket, a draw whose number was kept paying the 直选 prize once.
inline constexpr long long kTicketYuan = 2;
inline constexpr long long kDirectPrizeYuan = 1040;

struct FilterRecord {
    int kept = 0;        // M
    double share = 0;    // M / 1000: the hit rate chance gives
    long long draws = 0; // n
    long long hits = 0;  // H: draws whose number was kept
    // H / n with its 95 % Wilson interval; without draws 0 and all of [0, 1].
    double rate = 0;
    Interval interval{0, 1};
    double p = 1;       // P(X >= H), X ~ Binomial(n, M / 1000)
    long long cost = 0; // 2 × M × n
    long long won = 0;  // 1040 × H
    long long net = 0;  // won − cost
};

// The record of the kept numbers over rows `range` of the history (cut to it).
FilterRecord filterRecord(const NumberSet& kept, const DrawDigits& digits, RowRange range);

// The cumulative net after each draw of the range, at most `points` of them spread evenly and the
// last one always among them: (draws so far, net in yuan), starting at (0, 0).
struct NetPoint {
    std::size_t draws = 0;
    long long net = 0;
};
std::vector<NetPoint> netCurve(const NumberSet& kept, const DrawDigits& digits, RowRange range,
                               std::size_t points);

// The record in one line of plain Chinese, e.g. "保留 560 注（56.0%）；历史上命中 53.8%（95% 区间
// 51.7%–55.8%），与随机无异（p=0.98）；按每期全买计，花费 2,568,160 元，中奖 1,282,320 元，净亏
// 1,285,840 元。"
std::string recordLine(const FilterRecord& r);

// p as the record line shows it: "p=0.98", three decimals below 0.01, "p<0.001" below that.
std::string pText(double p);

} // namespace brenvik::stats
