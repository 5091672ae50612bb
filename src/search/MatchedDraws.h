#pragma once

#include "SearchIndex.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace brenvik {

// A draw a search selected, as the matched-draws list shows it: its issue, its codes of the
// result kind, and the digits of the earlier draw the search compared.
struct MatchedRow {
    std::int32_t issue = 0;
    std::array<std::int16_t, 3> codes{};
    std::string earlier;
};

// The rows of the selected draws; `lastDraw` and `n` say which earlier draw was compared (the
// draw before, or the draw N before).
std::vector<MatchedRow> matchedRowsOf(const SearchIndex& index, const std::vector<std::uint32_t>& rows,
                                      Kind resultKind, bool lastDraw, int n);

} // namespace brenvik
