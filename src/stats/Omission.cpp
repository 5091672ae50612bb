// SPDX-License-Identifier: GPL-3.0-or-later
#include "Omission.h"

#include "SearchIndex.h"

#include <algorithm>

namespace brenvik::stats {

namespace {

// Every value a draw can have, in one flat list: the ten digits of each position, then the sums,
// the spans and the forms. Each draw has exactly one value of each of the six groups.
constexpr int kSumBase = kPositions * kDigitValues;
constexpr int kSpanBase = kSumBase + kSumValues;
constexpr int kFormBase = kSpanBase + kSpanValues;
constexpr int kSlots = kFormBase + kFormValues;

// Rows between two checkpoints of the chart: the most a request replays before its first row.
constexpr std::size_t kCheckpointRows = 256;

// The sum, span and form slots of each of the 1,000 draws by the digits read as a number: the
// shape's comparisons mispredict on random digits, and the lookup takes a sixth off the table and
// two fifths off the chart's checkpoints.
struct ShapeSlots {
    std::array<std::array<std::uint8_t, 3>, 1000> of{};
    constexpr ShapeSlots() {
        for (int n = 0; n < 1000; ++n) {
            const DrawShape s = shapeOf(n / 100, n / 10 % 10, n % 10);
            of[static_cast<std::size_t>(n)] = {
                static_cast<std::uint8_t>(kSumBase + s.sum), static_cast<std::uint8_t>(kSpanBase + s.span),
                static_cast<std::uint8_t>(kFormBase + static_cast<int>(s.form))};
        }
    }
};
constexpr ShapeSlots kShapeSlots;

// Calls `visit` with the six slots of a row, one call each: a loop over an array of them kept
// the trackers' loads waiting on the array's stores and cost the table 40 % of its time.
template <class Visit> void forEachSlot(const DrawDigits& digits, std::size_t row, Visit visit) {
    const int a = digits.positions[0][row];
    const int b = digits.positions[1][row];
    const int c = digits.positions[2][row];
    const auto& shape = kShapeSlots.of[static_cast<std::size_t>(a * 100 + b * 10 + c)];
    visit(a);
    visit(kDigitValues + b);
    visit(2 * kDigitValues + c);
    visit(shape[0]);
    visit(shape[1]);
    visit(shape[2]);
}

// Per value, 1 + the row it was last seen in, 0 for never.
using Seen = std::array<std::uint32_t, kSlots>;

void markSeen(Seen& seen, const DrawDigits& digits, std::size_t row) {
    forEachSlot(digits, row, [&](int slot) {
        seen[static_cast<std::size_t>(slot)] = static_cast<std::uint32_t>(row + 1);
    });
}

RowRange cutTo(RowRange range, std::size_t size) {
    range.last = std::min(range.last, size);
    range.first = std::min(range.first, range.last);
    return range;
}

ChanceCounts countChances() {
    ChanceCounts counts;
    for (int a = 0; a < 10; ++a)
        for (int b = 0; b < 10; ++b)
            for (int c = 0; c < 10; ++c) {
                const DrawShape s = shapeOf(a, b, c);
                ++counts.sum[static_cast<std::size_t>(s.sum)];
                ++counts.span[static_cast<std::size_t>(s.span)];
                ++counts.form[static_cast<std::size_t>(s.form)];
            }
    return counts;
}

// The running figures of one value while R is walked once.
struct Tracker {
    long long count = 0;
    long long lastEnd = 0; // 1 + the index in R of the last draw with the value, 0 before any
    long long maxRun = 0;
    long long run = 0; // consecutive draws with the value, ending at the last one that had it
    long long streak = 0;
};

OmissionFigures figuresOf(const Tracker& t, long long draws, double chance) {
    OmissionFigures f;
    f.count = t.count;
    f.current = draws - t.lastEnd;
    f.max = std::max(t.maxRun, f.current);
    // The runs together hold every draw without the value.
    f.average = static_cast<double>(draws - t.count) / static_cast<double>(t.count + 1);
    f.streak = t.streak;
    f.chance = chance;
    f.expected = static_cast<double>(draws) * chance;
    // No draws say nothing about the share: all of [0, 1] rather than an interval of 0 / 0.
    f.observed = draws > 0 ? wilsonInterval(t.count, draws) : Interval{0, 1};
    f.marked = excludes(f.observed, chance);
    return f;
}

} // namespace

DrawDigits drawDigits(const SearchIndex& index) {
    DrawDigits d;
    for (int p = 0; p < kPositions; ++p)
        d.positions[static_cast<std::size_t>(p)] = {index.codes(p + 1, Kind::Number), index.size()};
    return d;
}

RowRange lastDraws(std::size_t historySize, std::size_t count) {
    return {historySize - std::min(count, historySize), historySize};
}

RowRange issueRange(const SearchIndex& index, std::int32_t start, std::int32_t end) {
    const auto [first, last] = index.rowsInRange(start, end);
    return {first, last};
}

const ChanceCounts& chanceCounts() {
    static const ChanceCounts counts = countChances();
    return counts;
}

OmissionTable omissionTable(const DrawDigits& digits, RowRange range) {
    range = cutTo(range, digits.size());
    std::array<Tracker, kSlots> trackers{};
    for (std::size_t row = range.first; row < range.last; ++row) {
        const long long i = static_cast<long long>(row - range.first);
        forEachSlot(digits, row, [&](int slot) {
            Tracker& t = trackers[static_cast<std::size_t>(slot)];
            t.maxRun = std::max(t.maxRun, i - t.lastEnd);
            t.run = t.lastEnd == i ? t.run + 1 : 1;
            t.streak = std::max(t.streak, t.run);
            t.lastEnd = i + 1;
            ++t.count;
        });
    }

    const long long n = static_cast<long long>(range.size());
    const ChanceCounts& chances = chanceCounts();
    auto figures = [&](int slot, int outOfThousand) {
        return figuresOf(trackers[static_cast<std::size_t>(slot)], n, outOfThousand / 1000.0);
    };
    OmissionTable table;
    table.rows = range;
    for (int p = 0; p < kPositions; ++p)
        for (int d = 0; d < kDigitValues; ++d)
            table.positions[static_cast<std::size_t>(p)][static_cast<std::size_t>(d)] =
                figures(p * kDigitValues + d, 100);
    for (std::size_t v = 0; v < table.sum.size(); ++v)
        table.sum[v] = figures(kSumBase + static_cast<int>(v), chances.sum[v]);
    for (std::size_t v = 0; v < table.span.size(); ++v)
        table.span[v] = figures(kSpanBase + static_cast<int>(v), chances.span[v]);
    for (std::size_t v = 0; v < table.form.size(); ++v)
        table.form[v] = figures(kFormBase + static_cast<int>(v), chances.form[v]);
    return table;
}

OmissionChart::OmissionChart(DrawDigits digits) : m_digits(digits) {
    const std::size_t n = m_digits.size();
    m_checkpoints.reserve((n / kCheckpointRows + 1) * kSlots);
    Seen seen{};
    for (std::size_t row = 0;; ++row) {
        if (row % kCheckpointRows == 0)
            m_checkpoints.insert(m_checkpoints.end(), seen.begin(), seen.end());
        if (row == n)
            break;
        markSeen(seen, m_digits, row);
    }
}

std::vector<ChartRow> OmissionChart::rows(RowRange range, std::size_t from, std::size_t to) const {
    range = cutTo(range, size());
    from = std::clamp(from, range.first, range.last);
    to = std::clamp(to, from, range.last);

    const std::size_t checkpoint = from / kCheckpointRows;
    Seen seen;
    std::copy_n(m_checkpoints.begin() + static_cast<std::ptrdiff_t>(checkpoint * kSlots), kSlots,
                seen.begin());
    for (std::size_t row = checkpoint * kCheckpointRows; row < from; ++row)
        markSeen(seen, m_digits, row);

    // A value last seen before R counts as unseen since R's first draw.
    const auto start = static_cast<std::uint32_t>(range.first);
    std::vector<ChartRow> out;
    out.reserve(to - from);
    for (std::size_t row = from; row < to; ++row) {
        markSeen(seen, m_digits, row);
        const auto end = static_cast<std::uint32_t>(row + 1);
        auto omission = [&](int slot) { return end - std::max(seen[static_cast<std::size_t>(slot)], start); };
        ChartRow& r = out.emplace_back();
        r.row = row;
        for (int p = 0; p < kPositions; ++p)
            for (int d = 0; d < kDigitValues; ++d)
                r.positions[static_cast<std::size_t>(p)][static_cast<std::size_t>(d)] =
                    omission(p * kDigitValues + d);
        for (std::size_t v = 0; v < r.sum.size(); ++v)
            r.sum[v] = omission(kSumBase + static_cast<int>(v));
        for (std::size_t v = 0; v < r.span.size(); ++v)
            r.span[v] = omission(kSpanBase + static_cast<int>(v));
        for (std::size_t v = 0; v < r.form.size(); ++v)
            r.form[v] = omission(kFormBase + static_cast<int>(v));
    }
    return out;
}

} // namespace brenvik::stats
