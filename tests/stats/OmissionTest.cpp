// SPDX-License-Identifier: GPL-3.0-or-later
#include "Omission.h"

#include "HistoryText.h"
#include "SampleHistory.h"
#include "SearchIndex.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

namespace brenvik::stats {
namespace {

SearchIndex indexOf(const std::vector<std::array<int, 3>>& digits) {
    std::vector<DrawLine> draws;
    for (const auto& d : digits)
        draws.push_back({2020001 + static_cast<std::int32_t>(draws.size()), d});
    return SearchIndex(std::make_shared<const HistorySnapshot>(rowsFromDraws(draws, 1)));
}

TEST(OmissionTable, HandCheckedFigures) {
    // Sums 6 9 12 6 17, spans 2 4 2 5 2, forms 组六 ×4 then 组三.
    const SearchIndex index = indexOf({{1, 2, 3}, {1, 5, 3}, {4, 5, 3}, {1, 5, 0}, {7, 5, 5}});
    const DrawDigits digits = drawDigits(index);
    const OmissionTable all = omissionTable(digits, allDraws(index.size()));
    const OmissionTable tail = omissionTable(digits, issueRange(index, 2020002, 2020099)); // 4 draws
    const OmissionTable one = omissionTable(digits, lastDraws(index.size(), 1));
    const OmissionTable none = omissionTable(digits, lastDraws(index.size(), 0));
    EXPECT_TRUE(issueRange(index, 2020004, 2020002).empty());
    EXPECT_EQ(lastDraws(index.size()).size(), 5u);

    const auto leopard = static_cast<std::size_t>(Form::Leopard);
    const auto pair = static_cast<std::size_t>(Form::Pair);
    const auto distinct = static_cast<std::size_t>(Form::Distinct);
    struct Case {
        const OmissionFigures& f;
        long long count, current, max;
        double average;
        long long streak;
        double expected;
        bool marked;
    } cases[] = {
        {all.positions[0][1], 3, 1, 1, 0.5, 2, 0.5, true},      // runs 0 0 1 1
        {all.positions[1][5], 4, 0, 1, 0.2, 4, 0.5, true},      // runs 1 0 0 0 0
        {all.positions[2][3], 3, 2, 2, 0.5, 3, 0.5, true},      // runs 0 0 0 2
        {all.positions[0][9], 0, 5, 5, 5.0, 0, 0.5, false},     // never drawn
        {all.sum[6], 2, 1, 2, 1.0, 1, 0.14, true},              // runs 0 2 1
        {all.span[2], 3, 0, 1, 0.5, 1, 0.48, true},             // runs 0 1 1 0
        {all.form[distinct], 4, 1, 1, 0.2, 4, 3.6, false},      // runs 0 0 0 0 1
        {all.form[leopard], 0, 5, 5, 5.0, 0, 0.05, false},      // never drawn
        {tail.positions[1][5], 4, 0, 0, 0.0, 4, 0.4, true},     // drawn in every draw of R
        {tail.positions[0][1], 2, 1, 1, 2.0 / 3, 1, 0.4, true}, // runs 0 1 1
        {one.positions[0][7], 1, 0, 0, 0.0, 1, 0.1, true},      // R of one draw, 7 5 5
        {one.positions[0][1], 0, 1, 1, 1.0, 0, 0.1, false},
        {one.sum[17], 1, 0, 0, 0.0, 1, 0.063, true},
        {one.form[pair], 1, 0, 0, 0.0, 1, 0.27, false},
        {none.positions[0][1], 0, 0, 0, 0.0, 0, 0.0, false}, // no draws say nothing
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(c.f.count, c.count);
        EXPECT_EQ(c.f.current, c.current);
        EXPECT_EQ(c.f.max, c.max);
        EXPECT_DOUBLE_EQ(c.f.average, c.average);
        EXPECT_EQ(c.f.streak, c.streak);
        EXPECT_DOUBLE_EQ(c.f.expected, c.expected);
        EXPECT_EQ(c.f.marked, c.marked);
    }
    EXPECT_EQ(none.sum[0].observed.high, 1.0);
}

TEST(ChanceCounts, ExactSharesOfTheThousandDraws) {
    const std::array<int, 28> sums = {1,  3,  6,  10, 15, 21, 28, 36, 45, 55, 63, 69, 73, 75,
                                      75, 73, 69, 63, 55, 45, 36, 28, 21, 15, 10, 6,  3,  1};
    EXPECT_EQ(chanceCounts().sum, sums);
    // Span 0: the ten 豹子; span k: over each of the 10 - k windows [l, l + k], the draws inside it
    // that reach both ends, (k + 1)³ - 2k³ + (k - 1)³ = 6k.
    for (int k = 0; k < kSpanValues; ++k)
        EXPECT_EQ(chanceCounts().span[static_cast<std::size_t>(k)], k == 0 ? 10 : 6 * k * (10 - k)) << k;
    EXPECT_EQ(chanceCounts().form, (std::array<int, 3>{10, 270, 720}));
}

TEST(OmissionChart, AgreesWithANaiveRecountOnARandomHistory) {
    const auto draws = test::syntheticDraws(2000, 11);
    const SearchIndex index(std::make_shared<const HistorySnapshot>(rowsFromDraws(draws, 1)));
    const DrawDigits digits = drawDigits(index);
    const OmissionChart chart(digits);
    // Each value group of a draw: the three digits, then sum, span and form.
    const int kValues[] = {10, 10, 10, kSumValues, kSpanValues, kFormValues};
    auto valuesOf = [&](std::size_t r) {
        const auto& d = draws[r].digits;
        const DrawShape s = shapeOf(d[0], d[1], d[2]);
        return std::array<int, 6>{d[0], d[1], d[2], s.sum, s.span, static_cast<int>(s.form)};
    };
    auto cell = [](const ChartRow& c, int g, int v) {
        return g < 3 ? c.positions[g][v] : g == 3 ? c.sum[v] : g == 4 ? c.span[v] : c.form[v];
    };

    std::mt19937 rng(5);
    auto below = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    for (int round = 0; round < 40; ++round) {
        const std::size_t first = round == 0 ? 0 : below(draws.size());
        // Whole-R rounds keep R short, as the naive walk is quadratic in it.
        const std::size_t room = draws.size() - first;
        const RowRange range{first, first + 1 + below(round % 2 ? room : std::min<std::size_t>(room, 300))};
        const std::size_t from = range.first + below(range.size());
        const std::size_t to = std::min(range.last, from + below(80));
        // Every other round asks past R's ends, which must be cut to R.
        const auto got = round % 2 ? chart.rows(range, from, to)
                                   : chart.rows(range, 0, std::numeric_limits<std::size_t>::max());
        ASSERT_EQ(got.size(), round % 2 ? to - from : range.size());
        // The naive omission: walk back to the last draw of R with the value.
        auto walkBack = [&](std::size_t row, int g, int v) {
            std::uint32_t n = 0;
            for (std::size_t r = row + 1; r-- > range.first && valuesOf(r)[g] != v;)
                ++n;
            return n;
        };
        for (const ChartRow& c : got)
            for (int g = 0; g < 6; ++g)
                for (int v = 0; v < kValues[g]; ++v)
                    ASSERT_EQ(cell(c, g, v), walkBack(c.row, g, v))
                        << range.first << ".." << range.last << " row " << c.row << " group " << g
                        << " value " << v;
    }
}

} // namespace
} // namespace brenvik::stats
