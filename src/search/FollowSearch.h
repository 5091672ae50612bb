// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrawCodes.h"
#include "SearchIndex.h"

#include <array>
#include <cstdint>
#include <vector>

namespace brenvik {

// What both searches are asked: how the earlier draw is compared with the pattern, and where.
struct SearchQuery {
    bool freePositions = true; // "自由位": a pattern value may sit at any position
    bool lastDraw = true;      // "上期": compare the draw before; otherwise the draw N before
    int n = 2;                 // N, 1..9, used when lastDraw is false
    Kind searchType = Kind::Number;
    std::array<int, 3> pattern{};
    std::int32_t rangeStart = 0; // issue range, both ends included
    std::int32_t rangeEnd = 0;
};

struct FollowQuery : SearchQuery {
    std::array<bool, 3> checked{true, true, true}; // positions that must match
};

// The draws a search selected, as row indices in issue order, and the number of conditions
// each of them met.
struct Selection {
    std::vector<std::uint32_t> rows;
    int conditions = 0;
};

// Finds every draw in the range whose earlier draw matched the pattern at all checked positions.
// With no position checked every draw in the range is selected.
Selection followSearch(const SearchIndex& index, const FollowQuery& query);

} // namespace brenvik
