// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A second, deliberately literal model of the searches for the tests: it keeps its own copy of
// the table's columns, rebuilds them row by row, runs each update statement over every row and
// selects the rows as the statements would. It shares nothing with the engines but the rows.

#include "DrawRow.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace brenvik::reference {

struct Options {
    bool freePositions = true;
    bool lastDraw = true;
    int n = 2;
    int searchType = 0;
    std::array<int, 3> pattern{};
    std::array<bool, 3> checked{true, true, true};
    int comboSize = 2;
    std::int32_t rangeStart = 0;
    std::int32_t rangeEnd = 0;
};

// Issue numbers selected, in issue order.
std::vector<std::int32_t> followSearch(const std::vector<DrawRow>& rowsInIssueOrder, const Options& o);
std::vector<std::int32_t> combinationSearch(const std::vector<DrawRow>& rowsInIssueOrder, const Options& o);

// LIKE with "*" as the only wildcard, comparing letters without regard to case.
bool like(const std::string& text, const std::string& pattern);

} // namespace brenvik::reference
