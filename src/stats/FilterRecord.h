// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Chance.h"
#include "NumberFilter.h"
#include "Omission.h"
#include "PredictionLog.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace brenvik::stats {

// What buying the kept numbers in every draw of a range would have done: each ticket 2 yuan; a
// 直选 ticket (one kept number) pays 1,040 when the draw is that number, a 组选 ticket (one group
// of digits) 346 when the draw is a 组三 of that group and 173 when it is a 组六 of it.
inline constexpr long long kTicketYuan = 2;
inline constexpr long long kDirectPrizeYuan = 1040;
inline constexpr long long kGroup3PrizeYuan = 346;
inline constexpr long long kGroup6PrizeYuan = 173;

// The tickets that buy a kept set, ascending: every kept number (直选), or every group one of
// whose orderings is kept (组选), a 豹子 left out.
std::vector<int> ticketsOf(const NumberSet& kept, Ticket ticket);

// What each drawn number 000–999 pays the tickets `tickets` (as ticketsOf gives them), in yuan.
using PrizeTable = std::array<std::int32_t, kNumbers>;
PrizeTable prizeTable(std::span<const int> tickets, Ticket ticket);

// The share of the numbers that win something: the hit rate fair draws give the tickets.
double winningShare(const PrizeTable& prizes);

struct FilterRecord {
    Ticket ticket = Ticket::Direct;
    int kept = 0;           // M: the numbers the conditions keep
    int tickets = 0;        // the tickets bought a draw: M (直选), or G, the kept groups (组选)
    double share = 0;       // the share of draws that win: the hit rate chance gives
    double expectedWon = 0; // what a fair draw pays the tickets on average, in yuan
    long long draws = 0;    // n
    long long hits = 0;     // H: draws that won
    long long pairHits = 0; // H₃: of those (组选), the draws that were a 组三
    // H / n with its 95 % Wilson interval; without draws 0 and all of [0, 1].
    double rate = 0;
    Interval interval{0, 1};
    double p = 1;       // P(X >= H), X ~ Binomial(n, share)
    long long cost = 0; // 2 × tickets × n
    long long won = 0;  // 1040 × H, or 346 × H₃ + 173 × H₆
    long long net = 0;  // won − cost
};

// The record of the kept numbers, bought as `ticket` tickets, over rows `range` of the history
// (cut to it).
FilterRecord filterRecord(const NumberSet& kept, const DrawDigits& digits, RowRange range,
                          Ticket ticket = Ticket::Direct);

// The cumulative net after each draw of the range, at most `points` of them spread evenly and the
// last one always among them: (draws so far, net in yuan), starting at (0, 0).
struct NetPoint {
    std::size_t draws = 0;
    long long net = 0;
};
std::vector<NetPoint> netCurve(const NumberSet& kept, const DrawDigits& digits, RowRange range,
                               std::size_t points, Ticket ticket = Ticket::Direct);

// The record in one line of plain Chinese, e.g. "保留 560 注（56.0%）；历史上命中 53.8%（95% 区间
// 51.7%–55.8%），与随机无异（p=0.98）；按每期全买计，花费 2,568,160 元，中奖 1,282,320 元，净亏
// 1,285,840 元。" For 组选 it starts "组选 85 组（中奖机会 42.3%）" and counts 组三 and 组六 hits.
std::string recordLine(const FilterRecord& r);

// "净亏 80 元", "净赚 12 元", "不赚不亏".
std::string netText(long long net);

// p as the record line shows it: "p=0.98", three decimals below 0.01, "p<0.001" below that.
std::string pText(double p);

} // namespace brenvik::stats
