// SPDX-License-Identifier: GPL-3.0-or-later
#include "FilterRecord.h"
#include "NumberFilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <set>
#include <vector>

namespace brenvik::stats {
namespace {

// The filter as the conditions read: each number of 000..999 looked at on its own.
bool keptByHand(const FilterConditions& c, int n) {
    const int d[3] = {n / 100, n / 10 % 10, n % 10};
    const auto in = [&](Field f, int v) { return c[f] == 0 || (c[f] >> v & 1); };
    const auto has = [&](int digit) { return d[0] == digit || d[1] == digit || d[2] == digit; };
    const int sum = d[0] + d[1] + d[2];
    const int span = std::max({d[0], d[1], d[2]}) - std::min({d[0], d[1], d[2]});
    const int form = d[0] == d[1] && d[1] == d[2] ? 0 : d[0] == d[1] || d[1] == d[2] || d[0] == d[2] ? 1 : 2;
    const int odd = d[0] % 2 + d[1] % 2 + d[2] % 2;
    const int big = (d[0] > 4) + (d[1] > 4) + (d[2] > 4);
    if (!in(Field::Sum, sum) || !in(Field::Span, span) || !in(Field::Form, form) || !in(Field::Odd, odd) ||
        !in(Field::Big, big))
        return false;
    bool anyDan = c[Field::Dan] == 0;
    for (int digit = 0; digit < 10; ++digit) {
        if (c[Field::Dan] >> digit & 1) {
            anyDan = anyDan || has(digit);
            if (c.danAll && !has(digit))
                return false;
        }
        if ((c[Field::Kill] >> digit & 1) && has(digit))
            return false;
    }
    for (int p = 1; p <= 3; ++p)
        if (!in(positionField(p), d[p - 1]) || (c[positionKillField(p)] >> d[p - 1] & 1))
            return false;
    return anyDan;
}

// A few conditions of random values; now and then none, or a field with every value.
FilterConditions randomConditions(std::mt19937& rng) {
    FilterConditions c;
    for (int i = 0; i < kFieldCount; ++i) {
        const auto f = static_cast<Field>(i);
        const int values = fieldInfo(f).high + 1;
        if (rng() % 3 == 0)
            c[f] = rng() % 8 == 0 ? (1u << values) - 1
                                  : static_cast<std::uint32_t>(rng()) & ((1u << values) - 1);
    }
    c.danAll = rng() % 2 == 0;
    return c;
}

TEST(NumberFilter, KeepsWhatAPlainLoopKeeps) {
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        const FilterConditions c = round == 0 ? FilterConditions{} : randomConditions(rng);
        const NumberSet kept = keptNumbers(c);
        for (int n = 0; n < kNumbers; ++n)
            ASSERT_EQ(kept[static_cast<std::size_t>(n)], keptByHand(c, n))
                << conditionsText(c) << " number " << numberText(n);
        // The settings keep the conditions as text and read them back as they were.
        ASSERT_EQ(conditionsFromText(conditionsText(c)), c) << conditionsText(c);
    }
    EXPECT_EQ(keptNumbers({}).count(), 1000u);
}

TEST(NumberFilter, ReadsListsAndRefusesWhatCannotHold) {
    struct Case {
        Field field;
        std::string text;
        std::uint32_t mask;  // when read
        const char* refusal; // a part of the message when refused
    } cases[] = {
        {Field::Sum, "10-17,20", 0x1u << 20 | 0x3FC00u, nullptr},
        {Field::Sum, " 0 - 2，27 ", 0x8000007u, nullptr},
        {Field::Sum, "", 0, nullptr},
        {Field::Span, "3、5 9,", 0x228u, nullptr},
        {Field::Odd, "0～1", 0x3u, nullptr},
        {Field::Form, "zusan,组六", 0x6u, nullptr},
        {Field::Sum, "28", 0, "和值只能取 0～27，不能是 28"},
        {Field::Odd, "4", 0, "奇数个数只能取 0～3，不能是 4"},
        {Field::Dan, "12", 0, "胆码只能取 0～9，不能是 12"},
        {Field::Pos2, "1,99999999999999", 0, "第2位定位只能取 0～9，不能是 1000000"},
        {Field::Form, "round", 0, "形态只能是 baozi、zusan、zuliu（豹子、组三、组六），不能是“round”"},
        {Field::Span, "7-3", 0, "跨度的范围 7-3 起点大于终点"},
        {Field::Kill, "1-", 0, "杀号只能写 0～9 的数和范围"},
        {Field::Big, "-1", 0, "不能是“-1”"},
        {Field::Sum, std::string(201, '1'), 0, "和值写得太长了"},
    };
    for (const Case& c : cases) {
        const auto got = parseField(c.field, c.text);
        if (!c.refusal) {
            ASSERT_TRUE(got.has_value()) << c.text << ": " << got.error().message;
            EXPECT_EQ(*got, c.mask) << c.text;
        } else {
            ASSERT_FALSE(got.has_value()) << c.text;
            EXPECT_NE(got.error().message.find(c.refusal), std::string::npos) << got.error().message;
        }
    }
    FilterConditions c;
    c[Field::Sum] = *parseField(Field::Sum, "10-17,20");
    c[Field::Form] = 0x4;
    c[Field::Odd] = 0x6;
    c[Field::Dan] = 0x22;
    c.danAll = true;
    c[Field::Kill2] = 0x10;
    EXPECT_EQ(describeConditions(c),
              "和值 10-17,20；形态 组六；奇偶比 2:1,1:2；胆码 1,5（全部出现）；第2位杀号 4");
    EXPECT_EQ(describeConditions({}), "不设条件");
}

struct Columns {
    std::array<std::vector<std::int16_t>, 3> digits;
    DrawDigits view() const {
        DrawDigits d;
        for (std::size_t p = 0; p < 3; ++p)
            d.positions[p] = digits[p];
        return d;
    }
    void add(int n) {
        digits[0].push_back(static_cast<std::int16_t>(n / 100));
        digits[1].push_back(static_cast<std::int16_t>(n / 10 % 10));
        digits[2].push_back(static_cast<std::int16_t>(n % 10));
    }
};

// P(X >= h) for X ~ Binomial(n, q), summed term by term.
double tailByHand(long long n, double q, long long h) {
    if (h <= 0)
        return 1;
    double tail = 0;
    for (long long k = h; k <= n; ++k)
        tail += std::exp(std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0) +
                         (k == 0 ? 0 : k * std::log(q)) + (k == n ? 0 : (n - k) * std::log1p(-q)));
    return tail;
}

// Whether any ordering of the digits of `n` is kept: what makes its group a 组选 ticket.
bool groupKeptByHand(const NumberSet& kept, int n) {
    std::array<int, 3> d = {n / 100, n / 10 % 10, n % 10};
    std::ranges::sort(d);
    do {
        if (kept[static_cast<std::size_t>(d[0] * 100 + d[1] * 10 + d[2])])
            return true;
    } while (std::ranges::next_permutation(d).found);
    return false;
}

TEST(FilterRecord, CountsWhatADirectCountCountsForEitherTicket) {
    std::mt19937 rng(3);
    for (int round = 0; round < 300; ++round) {
        Columns history;
        const int size = static_cast<int>(rng() % 400);
        for (int i = 0; i < size; ++i)
            history.add(static_cast<int>(rng() % 1000));
        const FilterConditions c = randomConditions(rng);
        const NumberSet kept = keptNumbers(c);
        std::size_t first = rng() % (size + 1), last = rng() % (size + 2);
        if (first > last)
            std::swap(first, last);
        const RowRange range{first, last}; // may reach one past the history: cut to it
        for (const Ticket ticket : {Ticket::Direct, Ticket::Group}) {
            SCOPED_TRACE(static_cast<int>(ticket));
            const bool group = ticket == Ticket::Group;
            const FilterRecord r = filterRecord(kept, history.view(), range, ticket);

            // A 豹子 has no 组选 ticket; a 组三 group pays 346, a 组六 group 173.
            const auto leopard = [](int n) { return n % 111 == 0; };
            const auto pair = [](int n) {
                const int a = n / 100, b = n / 10 % 10, c = n % 10;
                return (a == b || b == c || a == c) && !(a == b && b == c);
            };
            const auto wins = [&](int n) {
                return group ? !leopard(n) && groupKeptByHand(kept, n) : kept[static_cast<std::size_t>(n)];
            };
            long long tickets = 0, winning = 0;
            double expectedWon = 0;
            std::set<int> groups;
            for (int n = 0; n < 1000; ++n) {
                winning += wins(n);
                expectedWon += wins(n) ? (!group ? 1040 : pair(n) ? 346 : 173) / 1000.0 : 0;
                if (kept[static_cast<std::size_t>(n)] && !(group && leopard(n))) {
                    std::array<int, 3> d = {n / 100, n / 10 % 10, n % 10};
                    std::ranges::sort(d);
                    groups.insert(group ? d[0] * 100 + d[1] * 10 + d[2] : n);
                }
            }
            tickets = static_cast<long long>(groups.size());
            long long n = 0, hits = 0, won = 0;
            for (std::size_t row = first; row < std::min<std::size_t>(last, size); ++row, ++n) {
                const int drawn =
                    history.digits[0][row] * 100 + history.digits[1][row] * 10 + history.digits[2][row];
                if (!wins(drawn))
                    continue;
                ++hits;
                won += !group ? 1040 : pair(drawn) ? 346 : 173;
            }
            const double share = static_cast<double>(winning) / 1000;
            ASSERT_EQ(r.kept, static_cast<long long>(kept.count()));
            ASSERT_EQ(r.tickets, tickets);
            ASSERT_EQ(ticketsOf(kept, ticket), std::vector<int>(groups.begin(), groups.end()));
            ASSERT_EQ(r.draws, n);
            ASSERT_EQ(r.hits, hits);
            ASSERT_EQ(r.cost, 2 * tickets * n);
            ASSERT_EQ(r.won, won);
            ASSERT_EQ(r.net, won - 2 * tickets * n);
            ASSERT_DOUBLE_EQ(r.share, share);
            ASSERT_NEAR(r.expectedWon, expectedWon, 1e-9);
            if (n > 0) {
                ASSERT_DOUBLE_EQ(r.rate, static_cast<double>(hits) / n);
                ASSERT_LE(r.interval.low, r.rate + 1e-12);
                ASSERT_GE(r.interval.high, r.rate - 1e-12);
                ASSERT_NEAR(r.p, tailByHand(n, share, hits), 1e-9) << n << " " << share << " " << hits;
            }
            const auto curve = netCurve(kept, history.view(), range, 50, ticket);
            ASSERT_LE(curve.size(), 52u);
            ASSERT_EQ(curve.back().draws, static_cast<std::size_t>(n));
            ASSERT_EQ(curve.back().net, r.net);
        }
    }
}

TEST(FilterRecord, SaysInPlainChineseWhatItMeans) {
    // 和值 10-17 keeps 560 numbers; 1,233 of 2,293 draws were among them.
    Columns history;
    for (int i = 0; i < 2293; ++i)
        history.add(i < 1233 ? 555 : 0);
    FilterConditions c;
    c[Field::Sum] = *parseField(Field::Sum, "10-17");
    const NumberSet kept = keptNumbers(c);
    EXPECT_EQ(recordLine(filterRecord(kept, history.view(), {0, 2293})),
              "保留 560 注（56.0%）；历史上命中 53.8%（95% 区间 51.7%–55.8%），与随机无异（p=0.98）；"
              "按每期全买计，花费 2,568,160 元，中奖 1,282,320 元，净亏 1,285,840 元。");
    EXPECT_EQ(recordLine(filterRecord(kept, history.view(), {0, 3})),
              "保留 560 注（56.0%）；历史上命中 100.0%（95% 区间 43.9%–100.0%），与随机无异（p=0.18）；"
              "按每期全买计，花费 3,360 元，中奖 3,120 元，净亏 240 元。");
    EXPECT_EQ(recordLine(filterRecord(kept, history.view(), {5, 5})),
              "保留 560 注（56.0%）；所选范围内没有开奖号码，无从比较。");
    c[Field::Form] = 0x1; // 豹子 with a sum of 10 to 17: 444 and 555
    EXPECT_EQ(recordLine(filterRecord(keptNumbers(c), history.view(), {0, 1233})),
              "保留 2 注（0.2%）；历史上命中 100.0%（95% 区间 99.7%–100.0%），比随机多中（p<0.001）；"
              "按每期全买计，花费 4,932 元，中奖 1,282,320 元，净赚 1,277,388 元。");
    EXPECT_EQ(recordLine(filterRecord(keptNumbers(c), history.view(), {0, 1233}, Ticket::Group)),
              "保留 2 注，合组选 0 组（中奖机会 0.0%）：保留的号码都是豹子，豹子不能买组选。");
    // 和值 6, 组三 and 组六: groups 006, 015, 024, 033, 114, 123 (3 + 3 + 3 + 6 + 6 + 6 of 1,000 numbers
    // win); draws 033, then 330, 123, 222.
    Columns drawn;
    for (const int n : {33, 330, 123, 222})
        drawn.add(n);
    c[Field::Sum] = *parseField(Field::Sum, "6");
    c[Field::Form] = 0x6;
    EXPECT_EQ(recordLine(filterRecord(keptNumbers(c), drawn.view(), {0, 4}, Ticket::Group)),
              "保留 27 注，合组选 6 组（中奖机会 2.7%）；历史上命中 75.0%（95% 区间 30.1%–95.4%），"
              "比随机多中（p<0.001），其中组三 2 期、组六 1 期；按每期全买计，花费 48 元，中奖 865 元，"
              "净赚 817 元。");
}

} // namespace
} // namespace brenvik::stats
