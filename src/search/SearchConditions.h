// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CombinationSearch.h"
#include "FollowSearch.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace brenvik {

// One search as the user set it up: everything its result depends on. The window builds it from
// its visible controls when a search starts, the companion from its command line.
struct SearchConditions {
    std::string game;         // as the game menu names it
    bool combination = false; // the combination search rather than the follow search
    bool freePositions = true;
    bool lastDraw = true;
    int n = 1; // N draws back; 1 in last-draw mode
    Kind searchType = Kind::Number;
    // Nothing where a pattern box holds no number: the follow search does not compare that
    // position, and no combination through it can agree.
    std::array<std::optional<int>, 3> pattern{};
    std::optional<std::int32_t> before;            // the pattern was taken before this issue
    std::array<bool, 3> checked{true, true, true}; // follow search
    int size = 2;                                  // combination search
    std::int32_t rangeStart = 0;
    std::int32_t rangeEnd = 0;
    Kind resultKind = Kind::Number;
    int resultPosition = 1;
    bool group = false;
    int segmentParam = 1;

    bool operator==(const SearchConditions&) const = default;

    FollowQuery followQuery() const;
    CombinationQuery combinationQuery() const;
};

// One line saying what was searched and how many draws were found: shown above the window's
// result grids and printed by the companion.
std::string conditionSummary(const SearchConditions& c, int matched);

} // namespace brenvik
