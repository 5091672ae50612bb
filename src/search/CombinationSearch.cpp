// SPDX-License-Identifier: GPL-3.0-or-later
#include "CombinationSearch.h"

#include "EarlierDraw.h"
#include "Matching.h"

namespace brenvik {

std::vector<std::vector<int>> positionCombinations(int size) {
    std::vector<std::vector<int>> out;
    if (size < 1 || size > kPositions)
        return out;
    std::vector<int> tuple(static_cast<std::size_t>(size));
    // Each index runs from the one before it + 1 up to count - size + its depth.
    auto fill = [&](auto&& self, int depth, int from) -> void {
        if (depth == size) {
            out.push_back(tuple);
            return;
        }
        for (int p = from; p <= kPositions - size + depth + 1; ++p) {
            tuple[static_cast<std::size_t>(depth)] = p;
            self(self, depth + 1, p + 1);
        }
    };
    fill(fill, 0, 1);
    return out;
}

Selection combinationSearch(const SearchIndex& index, const CombinationQuery& query) {
    const auto [first, last] = index.rowsInRange(query.rangeStart, query.rangeEnd);
    const EarlierDraw earlier(index, query.lastDraw, query.n);
    std::vector<std::uint8_t> marks(index.size(), 0);
    MatchCounter counter(first, last);
    const int kindSize = counterSize(query.searchType);

    for (const auto& combination : positionCombinations(query.size)) {
        counter.reset();
        if (query.freePositions) {
            // All of the combination's values are counted before any comparison, so a value that
            // occurs twice is looked for as its second occurrence by both positions.
            std::array<int, 10> counts{};
            for (int p : combination) {
                const int v = query.pattern[p - 1];
                if (v >= 0 && v < kindSize)
                    ++counts[static_cast<std::size_t>(v)];
            }
            for (int p : combination) {
                const int v = query.pattern[p - 1];
                if (v >= 0 && v < kindSize)
                    counter.addTokenMatches(earlier, query.searchType, counts[static_cast<std::size_t>(v)],
                                            v);
            }
        } else {
            for (int p : combination)
                counter.addCodeMatches(earlier, index, p, query.searchType, query.pattern[p - 1], true);
        }
        counter.markReaching(query.size, marks);
    }

    Selection s;
    s.conditions = query.size;
    for (std::size_t j = first; j < last; ++j)
        if (marks[j])
            s.rows.push_back(static_cast<std::uint32_t>(j));
    return s;
}

} // namespace brenvik
