// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrawCodes.h"
#include "HistorySnapshot.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace brenvik {

using Pattern = std::array<int, 3>;

// The codes of a kind of one stored draw, positions 1..3.
Pattern patternOf(const DrawRow& row, Kind kind);

// The pattern from the newest draws: the last draw, or the draw N - 1 before it in N-back mode.
// Nothing when the history holds too few draws.
std::optional<Pattern> patternFromHistory(const HistorySnapshot& history, bool lastDraw, int n, Kind kind);

// The draw before a chosen issue: the newest draw at or before the issue before it (a year's
// first issue looks back to sequence 359 of the year before).
struct BeforeIssue {
    std::size_t reached = 0;        // that draw
    std::optional<Pattern> pattern; // taken N - 1 draws further back in N-back mode, when there are
};
std::optional<BeforeIssue> patternBeforeIssue(const HistorySnapshot& history, std::int32_t chosenIssue,
                                              bool lastDraw, int n, Kind kind);

// Why no pattern can be taken before a chosen issue, as the window and the companion say it: no
// draw lies before it, or too few for the draw N back.
std::string noPatternBefore(std::int32_t chosenIssue, bool lastDraw, int n);

} // namespace brenvik
