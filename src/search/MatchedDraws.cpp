#include "MatchedDraws.h"

#include "EarlierDraw.h"

namespace brenvik {

namespace {

MatchedRow matchedRow(const SearchIndex& index, const EarlierDraw& earlier, std::uint32_t j, Kind resultKind) {
    MatchedRow m;
    m.issue = index.issue(j);
    for (int p = 1; p <= 3; ++p)
        m.codes[static_cast<std::size_t>(p - 1)] = index.codes(p, resultKind)[j];
    m.earlier = earlier.digits(j);
    return m;
}

} // namespace

MatchedRow MatchedDraws::row(std::size_t i) const {
    return matchedRow(*m_index, EarlierDraw(*m_index, m_lastDraw, m_n), m_rows[i], m_resultKind);
}

std::vector<MatchedRow> matchedRowsOf(const SearchIndex& index, const std::vector<std::uint32_t>& rows,
                                      Kind resultKind, bool lastDraw, int n) {
    const EarlierDraw earlier(index, lastDraw, n);
    std::vector<MatchedRow> out;
    out.reserve(rows.size());
    for (std::uint32_t j : rows)
        out.push_back(matchedRow(index, earlier, j, resultKind));
    return out;
}

} // namespace brenvik
