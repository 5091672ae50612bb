// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FollowSearch.h"

#include <array>
#include <cstdint>
#include <vector>

namespace brenvik {

struct CombinationQuery : SearchQuery {
    int size = 2; // how many positions must agree; 1..3 form combinations, 4..6 none
};

// The position tuples of a combination size, in lexicographic order: (1,2), (1,3), (2,3) for 2.
std::vector<std::vector<int>> positionCombinations(int size);

// Marks every draw in the range whose earlier draw agrees with the pattern in some combination
// of `size` positions: at the same positions (fixed), or holding the combination's values at
// any positions as often as they occur in it (free).
Selection combinationSearch(const SearchIndex& index, const CombinationQuery& query);

} // namespace brenvik
