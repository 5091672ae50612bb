#include "MatchedDraws.h"

#include "EarlierDraw.h"

namespace brenvik {

std::vector<MatchedRow> matchedRowsOf(const SearchIndex& index, const std::vector<std::uint32_t>& rows,
                                      Kind resultKind, bool lastDraw, int n) {
    const EarlierDraw earlier(index, lastDraw, n);
    std::vector<MatchedRow> out;
    out.reserve(rows.size());
    for (std::uint32_t j : rows) {
        MatchedRow m;
        m.issue = index.issue(j);
        for (int p = 1; p <= 3; ++p)
            m.codes[static_cast<std::size_t>(p - 1)] = index.codes(p, resultKind)[j];
        m.earlier = std::string(earlier.digits(j));
        out.push_back(std::move(m));
    }
    return out;
}

} // namespace brenvik
