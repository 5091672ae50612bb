// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EarlierDraw.h"

#include <array>
#include <cstdint>
#include <vector>

namespace brenvik {

// The running occurrence count of pattern values, one counter per code value of the kind. A
// value outside the kind's range cannot be counted: the count it gets is the one before it.
class TokenCounts {
public:
    explicit TokenCounts(Kind kind) : m_size(counterSize(kind)) {}
    int next(int value) {
        if (value >= 0 && value < m_size)
            m_last = ++m_counts[static_cast<std::size_t>(value)];
        return m_last;
    }

private:
    int m_size;
    std::array<int, 10> m_counts{};
    int m_last = 0;
};

// Per-row count of the conditions a row meets, over the rows [first, last) of the range.
class MatchCounter {
public:
    MatchCounter(std::size_t first, std::size_t last) : m_first(first), m_count(last - first, 0) {}

    // Rows whose earlier draw's pattern string of `kind` contains the token count, "X", value.
    void addTokenMatches(const EarlierDraw& earlier, Kind kind, int count, int value);
    // Rows with a draw before them whose earlier draw holds `value` at `position`.
    void addCodeMatches(const EarlierDraw& earlier, const SearchIndex& index, int position, Kind kind,
                        int value, bool storedFirstRow);
    void reset() { std::fill(m_count.begin(), m_count.end(), std::uint8_t{0}); }

    // Rows whose count equals `k`, in issue order.
    std::vector<std::uint32_t> rowsReaching(int k) const;
    // Marks every row whose count equals `k`.
    void markReaching(int k, std::vector<std::uint8_t>& marks) const;

private:
    std::size_t m_first;
    std::vector<std::uint8_t> m_count;
};

} // namespace brenvik
