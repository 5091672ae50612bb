// SPDX-License-Identifier: GPL-3.0-or-later
#include "FollowSearch.h"

#include "EarlierDraw.h"
#include "Matching.h"

namespace brenvik {

Selection followSearch(const SearchIndex& index, const FollowQuery& query) {
    const auto [first, last] = index.rowsInRange(query.rangeStart, query.rangeEnd);
    const EarlierDraw earlier(index, query.lastDraw, query.n);
    MatchCounter counter(first, last);

    int k = 0;
    if (query.freePositions) {
        TokenCounts counts(query.searchType);
        for (int p = 1; p <= 3; ++p) {
            if (!query.checked[p - 1])
                continue;
            ++k;
            const int v = query.pattern[p - 1];
            counter.addTokenMatches(earlier, query.searchType, counts.next(v), v);
        }
    } else {
        for (int p = 1; p <= 3; ++p) {
            if (!query.checked[p - 1])
                continue;
            ++k;
            counter.addCodeMatches(earlier, index, p, query.searchType, query.pattern[p - 1], false);
        }
    }
    return {counter.rowsReaching(k), k};
}

} // namespace brenvik
