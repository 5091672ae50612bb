#include "SearchIndex.h"

#include <algorithm>

namespace brenvik {

std::uint32_t tokenMask(std::string_view text) {
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i + 2 < text.size(); ++i) {
        const char c = text[i];
        const char x = text[i + 1];
        const char v = text[i + 2];
        if (c >= '1' && c <= '3' && (x == 'X' || x == 'x') && v >= '0' && v <= '9')
            mask |= tokenBit(c - '0', v - '0');
    }
    return mask;
}

bool containsToken(std::string_view text, int count, int value) {
    // LIKE compares case-insensitively, so "x" stands for "X" as well.
    const std::string c = std::to_string(count);
    const std::string v = std::to_string(value);
    const std::size_t len = c.size() + 1 + v.size();
    for (std::size_t i = 0; i + len <= text.size(); ++i) {
        if (text.compare(i, c.size(), c) != 0)
            continue;
        const char x = text[i + c.size()];
        if ((x == 'X' || x == 'x') && text.compare(i + c.size() + 1, v.size(), v) == 0)
            return true;
    }
    return false;
}

SearchIndex::SearchIndex(SnapshotPtr snapshot) : m_snapshot(std::move(snapshot)) {
    const auto& rows = m_snapshot->rows();
    const std::size_t n = rows.size();
    m_issue.resize(n);
    m_codes.assign(kPositions * kKindCount, std::vector<std::int16_t>(n));
    m_hasPrevious.resize(n);
    m_lastTokens.assign(kKindCount, std::vector<std::uint32_t>(n));
    for (std::size_t j = 0; j < n; ++j) {
        const DrawRow& r = rows[j];
        m_issue[j] = r.sqqh;
        for (int p = 0; p < kPositions; ++p)
            for (int k = 0; k < kKindCount; ++k)
                m_codes[static_cast<std::size_t>(p * kKindCount + k)][j] = r.own[p][k];
        // LEN(TRIM(x)) > 0: something besides blanks.
        m_hasPrevious[j] = r.last[0].find_first_not_of(' ') != std::string::npos;
        for (int k = 0; k < kKindCount; ++k)
            m_lastTokens[static_cast<std::size_t>(k)][j] = tokenMask(r.last[static_cast<std::size_t>(1 + k)]);
    }
}

std::pair<std::size_t, std::size_t> SearchIndex::rowsInRange(std::int32_t start, std::int32_t end) const {
    if (start > end)
        return {0, 0};
    const auto first = std::lower_bound(m_issue.begin(), m_issue.end(), start);
    const auto last = std::upper_bound(first, m_issue.end(), end);
    return {static_cast<std::size_t>(first - m_issue.begin()),
            static_cast<std::size_t>(last - m_issue.begin())};
}

} // namespace brenvik
