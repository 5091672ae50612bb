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

RowRange cutTo(RowRange range, std::size_t size) {
    range.last = std::min(range.last, size);
    range.first = std::min(range.first, range.last);
    return range;
}

int numberAt(const DrawDigits& d, std::size_t row) {
    return d.positions[0][row] * 100 + d.positions[1][row] * 10 + d.positions[2][row];
}

// A 组三 has two equal digits.
bool isPair(int n) {
    return shapeOf(n / 100, n / 10 % 10, n % 10).form == Form::Pair;
}

// For each number 000–999, the ticket it is bought with (ticketOf), -1 for none; and what it pays
// that ticket. Made once: a click of the 缩水 window then reads them instead of sorting and
// searching.
struct TicketTables {
    std::array<std::array<std::int16_t, kNumbers>, 2> ticket{};
    std::array<std::array<std::int32_t, kNumbers>, 2> prize{};

    TicketTables() {
        for (const Ticket kind : {Ticket::Direct, Ticket::Group}) {
            const auto k = static_cast<std::size_t>(kind);
            for (int n = 0; n < kNumbers; ++n) {
                const auto i = static_cast<std::size_t>(n);
                ticket[k][i] = static_cast<std::int16_t>(ticketOf(kind, n).value_or(-1));
                prize[k][i] = static_cast<std::int32_t>(kind == Ticket::Direct ? kDirectPrizeYuan
                                                        : isPair(n)            ? kGroup3PrizeYuan
                                                                               : kGroup6PrizeYuan);
            }
        }
    }
};

const TicketTables& ticketTables() {
    static const TicketTables tables;
    return tables;
}

} // namespace

std::vector<int> ticketsOf(const NumberSet& kept, Ticket ticket) {
    const auto& of = ticketTables().ticket[static_cast<std::size_t>(ticket)];
    std::array<bool, kNumbers> bought{};
    for (std::size_t n = 0; n < of.size(); ++n)
        if (kept[n] && of[n] >= 0)
            bought[static_cast<std::size_t>(of[n])] = true;
    std::vector<int> tickets;
    for (std::size_t t = 0; t < bought.size(); ++t)
        if (bought[t])
            tickets.push_back(static_cast<int>(t));
    return tickets;
}

PrizeTable prizeTable(std::span<const int> tickets, Ticket ticket) {
    const TicketTables& tables = ticketTables();
    const auto k = static_cast<std::size_t>(ticket);
    std::array<bool, kNumbers> bought{};
    for (const int t : tickets)
        if (t >= 0 && t < kNumbers)
            bought[static_cast<std::size_t>(t)] = true;
    PrizeTable prizes{};
    for (std::size_t n = 0; n < prizes.size(); ++n) {
        const std::int16_t t = tables.ticket[k][n];
        if (t >= 0 && bought[static_cast<std::size_t>(t)])
            prizes[n] = tables.prize[k][n];
    }
    return prizes;
}

double winningShare(const PrizeTable& prizes) {
    return static_cast<double>(std::ranges::count_if(prizes, [](std::int32_t y) { return y > 0; })) /
           kNumbers;
}

FilterRecord filterRecord(const NumberSet& kept, const DrawDigits& digits, RowRange range, Ticket ticket) {
    range = cutTo(range, digits.size());
    // How often each number was drawn: the money and the hits follow from the 1,000 counts, so the
    // draws' loop adds one count per draw whatever the tickets.
    std::array<long long, kNumbers> drawn{};
    for (std::size_t row = range.first; row < range.last; ++row)
        ++drawn[static_cast<std::size_t>(numberAt(digits, row))];

    FilterRecord r;
    r.ticket = ticket;
    r.kept = static_cast<int>(kept.count());
    const std::vector<int> tickets = ticketsOf(kept, ticket);
    r.tickets = static_cast<int>(tickets.size());
    const PrizeTable prizes = prizeTable(tickets, ticket);
    r.share = winningShare(prizes);
    for (std::size_t n = 0; n < prizes.size(); ++n) {
        if (prizes[n] == 0)
            continue;
        r.expectedWon += static_cast<double>(prizes[n]) / kNumbers;
        r.hits += drawn[n];
        r.won += prizes[n] * drawn[n];
        if (ticket == Ticket::Group && isPair(static_cast<int>(n)))
            r.pairHits += drawn[n];
    }
    r.draws = static_cast<long long>(range.size());
    if (r.draws > 0) {
        r.rate = static_cast<double>(r.hits) / static_cast<double>(r.draws);
        r.interval = wilsonInterval(r.hits, r.draws);
        r.p = binomialUpperTail(r.draws, r.share, r.hits);
    }
    r.cost = kTicketYuan * r.tickets * r.draws;
    r.net = r.won - r.cost;
    return r;
}

std::vector<NetPoint> netCurve(const NumberSet& kept, const DrawDigits& digits, RowRange range,
                               std::size_t points, Ticket ticket) {
    range = cutTo(range, digits.size());
    const std::vector<int> tickets = ticketsOf(kept, ticket);
    const PrizeTable prizes = prizeTable(tickets, ticket);
    const long long stake = kTicketYuan * static_cast<long long>(tickets.size());
    const std::size_t n = range.size();
    const std::size_t step = std::max<std::size_t>(1, (n + std::max<std::size_t>(points, 1) - 1) /
                                                          std::max<std::size_t>(points, 1));
    std::vector<NetPoint> curve{{0, 0}};
    curve.reserve(n / step + 2);
    long long net = 0;
    for (std::size_t i = 0; i < n; ++i) {
        net += prizes[static_cast<std::size_t>(numberAt(digits, range.first + i))] - stake;
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
    const bool group = r.ticket == Ticket::Group;
    std::string s = "保留 " + groupedCount(r.kept) + " 注";
    s += group ? "，合组选 " + groupedCount(r.tickets) + " 组（中奖机会 " + percentText(r.share) + "）"
               : "（" + percentText(r.share) + "）";
    if (r.kept == 0)
        return s + "：没有号码同时满足这些条件。";
    if (r.tickets == 0)
        return s + "：保留的号码都是豹子，豹子不能买组选。";
    if (r.draws == 0)
        return s + "；所选范围内没有开奖号码，无从比较。";
    // One-sided: a filter can only be of use by hitting more often than its share.
    const char* verdict = r.p < 0.05 ? "比随机多中" : "与随机无异";
    s += "；历史上命中 " + percentText(r.rate) + "（95% 区间 " + percentText(r.interval.low) + "–" +
         percentText(r.interval.high) + "），" + verdict + "（" + pText(r.p) + "）";
    if (group)
        s += "，其中组三 " + groupedCount(r.pairHits) + " 期、组六 " + groupedCount(r.hits - r.pairHits) +
             " 期";
    return s + "；按每期全买计，花费 " + groupedCount(r.cost) + " 元，中奖 " + groupedCount(r.won) + " 元，" +
           netText(r.net) + "。";
}

std::string netText(long long net) {
    return net < 0   ? "净亏 " + groupedCount(-net) + " 元"
           : net > 0 ? "净赚 " + groupedCount(net) + " 元"
                     : "不赚不亏";
}

} // namespace brenvik::stats
