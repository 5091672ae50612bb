// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Chance.h"
#include "DrawCodes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace brenvik {
class SearchIndex;
}

namespace brenvik::stats {

// The digits the omission figures read, one column per position, in issue order. The columns are
// borrowed (from the searches' index): whoever holds them keeps their owner alive. Every digit
// is 0..9, as every path that stores a draw makes sure.
struct DrawDigits {
    std::array<std::span<const std::int16_t>, kPositions> positions;
    std::size_t size() const { return positions[0].size(); }
};

DrawDigits drawDigits(const SearchIndex& index);

// Rows [first, last) of the history: the range R every figure is taken over.
struct RowRange {
    std::size_t first = 0;
    std::size_t last = 0;
    std::size_t size() const { return last - first; }
    bool empty() const { return first == last; }
};

inline constexpr std::size_t kDefaultLastDraws = 100;

// The newest `count` draws, or all when there are fewer.
RowRange lastDraws(std::size_t historySize, std::size_t count = kDefaultLastDraws);
// The draws whose issue lies in [start, end]; empty when start > end.
RowRange issueRange(const SearchIndex& index, std::int32_t start, std::int32_t end);
inline RowRange allDraws(std::size_t historySize) {
    return {0, historySize};
}

inline constexpr int kDigitValues = 10;
inline constexpr int kSumValues = 28;
inline constexpr int kSpanValues = 10;
inline constexpr int kFormValues = 3;

// 豹子: three equal digits; 组三: exactly two equal; 组六: all different.
enum class Form : int { Leopard = 0, Pair = 1, Distinct = 2 };
inline constexpr std::array<std::string_view, kFormValues> kFormCaptions = {"豹子", "组三", "组六"};

// What a draw is as a whole, irrespective of the order of its digits.
struct DrawShape {
    int sum = 0;  // 和值, 0..27
    int span = 0; // 跨度, largest digit minus smallest, 0..9
    Form form = Form::Distinct;
};

constexpr DrawShape shapeOf(int a, int b, int c) {
    const int low = a < b ? (a < c ? a : c) : (b < c ? b : c);
    const int high = a > b ? (a > c ? a : c) : (b > c ? b : c);
    const Form form = a == b && b == c             ? Form::Leopard
                      : a == b || b == c || a == c ? Form::Pair
                                                   : Form::Distinct;
    return {a + b + c, high - low, form};
}

// How many of the 1,000 equally likely draws give each sum, span and form.
struct ChanceCounts {
    std::array<int, kSumValues> sum{};
    std::array<int, kSpanValues> span{};
    std::array<int, kFormValues> form{};
};
const ChanceCounts& chanceCounts();

// The figures of one value (a digit at a position, a sum, a span or a form) over R. The omission
// runs are the maximal runs of draws without the value, the one before its first occurrence and
// the one after its last included even when empty: count + 1 runs.
struct OmissionFigures {
    long long count = 0;
    long long current = 0; // length of the last run
    long long max = 0;     // longest run
    double average = 0;    // mean length of the count + 1 runs
    long long streak = 0;  // longest run of consecutive draws with the value
    double chance = 0;     // the value's share under fair draws
    double expected = 0;   // |R| × chance
    Interval observed;     // 95 % Wilson interval of count / |R|; all of [0, 1] when R is empty
    bool marked = false;   // the interval leaves out the chance share
};

struct OmissionTable {
    RowRange rows;
    std::array<std::array<OmissionFigures, kDigitValues>, kPositions> positions;
    std::array<OmissionFigures, kSumValues> sum;
    std::array<OmissionFigures, kSpanValues> span;
    std::array<OmissionFigures, kFormValues> form;
};

// A range reaching past the history is cut to it.
OmissionTable omissionTable(const DrawDigits& digits, RowRange range);

// The omissions of one row of the trend chart: for every value, the length of its current run
// up to and including this draw, 0 where the draw has it.
struct ChartRow {
    std::size_t row = 0; // in the history, not in R
    std::array<std::array<std::uint32_t, kDigitValues>, kPositions> positions{};
    std::array<std::uint32_t, kSumValues> sum{};
    std::array<std::uint32_t, kSpanValues> span{};
    std::array<std::uint32_t, kFormValues> form{};
};

// The chart's omissions on demand, for the rows a view shows. Instead of a table of every cell it
// keeps where each value was last seen at every few hundred rows, so any stretch of rows costs at
// most a few hundred draws of replay, and a million draws need about a megabyte.
class OmissionChart {
public:
    explicit OmissionChart(DrawDigits digits);

    std::size_t size() const { return m_digits.size(); }

    // History rows [from, to), cut to R, with the runs counted from R's first draw as the table
    // counts them, so R's last row shows the table's current omissions.
    std::vector<ChartRow> rows(RowRange range, std::size_t from, std::size_t to) const;

private:
    DrawDigits m_digits;
    // Per checkpoint, per value: 1 + the row it was last seen before the checkpoint, 0 for never.
    std::vector<std::uint32_t> m_checkpoints;
};

} // namespace brenvik::stats
