// SPDX-License-Identifier: GPL-3.0-or-later
#include "Matching.h"

namespace brenvik {

void MatchCounter::addTokenMatches(const EarlierDraw& earlier, Kind kind, int count, int value) {
    const std::size_t rows = m_count.size();
    if (!tokenInMask(count, value)) {
        // Out of the range of real tokens: compare the text itself.
        for (std::size_t i = 0; i < rows; ++i)
            m_count[i] += containsToken(earlier.tokenText(m_first + i, kind), count, value);
        return;
    }
    const std::uint32_t bit = tokenBit(count, value);
    const std::uint32_t* tokens = earlier.index().lastTokens(kind);
    // Past the first rows the compared string is the "上期" string `shift` rows up.
    const std::size_t shift = earlier.lastDraw() ? 0 : static_cast<std::size_t>(earlier.n() - 1);
    for (std::size_t i = 0; i < rows; ++i) {
        const std::size_t j = m_first + i;
        const std::uint32_t t = j >= shift ? tokens[j - shift] : earlier.tokens(j, kind);
        m_count[i] += (t & bit) != 0;
    }
}

void MatchCounter::addCodeMatches(const EarlierDraw& earlier, const SearchIndex& index, int position,
                                  Kind kind, int value, bool storedFirstRow) {
    const std::uint8_t* hasPrevious = index.hasPrevious();
    const std::int16_t* codes = index.codes(position, kind);
    const std::size_t rows = m_count.size();
    // Past the first rows the earlier draw is simply `shift` rows up.
    const std::size_t shift = earlier.lastDraw() ? 1 : static_cast<std::size_t>(earlier.n());
    for (std::size_t i = 0; i < rows; ++i) {
        const std::size_t j = m_first + i;
        if (j >= shift) {
            m_count[i] += hasPrevious[j] & static_cast<std::uint8_t>(codes[j - shift] == value);
        } else if (hasPrevious[j]) {
            const auto code = earlier.code(j, position, kind, storedFirstRow);
            m_count[i] += code && *code == value;
        }
    }
}

std::vector<std::uint32_t> MatchCounter::rowsReaching(int k) const {
    std::vector<std::uint32_t> rows;
    for (std::size_t i = 0; i < m_count.size(); ++i)
        if (m_count[i] == k)
            rows.push_back(static_cast<std::uint32_t>(m_first + i));
    return rows;
}

void MatchCounter::markReaching(int k, std::vector<std::uint8_t>& marks) const {
    for (std::size_t i = 0; i < m_count.size(); ++i)
        if (m_count[i] == k)
            marks[m_first + i] = 1;
}

} // namespace brenvik
