// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrawCodes.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace brenvik {

// Summary slots of a row: the digits text, then one pattern string per kind.
// Index 0 is txtHisLst, 1 + kind is the pattern column of that kind.
inline constexpr int kSummaryCount = 5;
using Summaries = std::array<std::string, kSummaryCount>;

inline constexpr std::array<std::string_view, kSummaryCount> kLastColumns = {
    "txtHisLst", "txtHisLstHm", "txtHisLstDx", "txtHisLstDs", "txtHisLstDuan"};
inline constexpr std::array<std::string_view, kSummaryCount> kBackColumns = {
    "txtHisPreLst", "txtHisPreLstHm", "txtHisPreLstDx", "txtHisPreLstDs", "txtHisPreLstDuan"};

inline constexpr int summarySlot(Kind kind) {
    return 1 + static_cast<int>(kind);
}

// One row of the history table, as stored. The work columns of the searches (intTh, bolOk,
// txtHisP6) are scratch and never read back, so the row does not carry them.
struct DrawRow {
    std::int32_t sqqh = 0; // issue number yyyyNNN
    std::int32_t qqh = 0;  // sqqh + 1, plain arithmetic
    DrawCodes own{};       // this draw's codes
    DrawCodes prev{};      // "S": codes of the draw appended before it
    DrawCodes back{};      // "P": codes of the draw two back (or N back after a rebuild)
    Summaries last;        // txtHisLst...: the draw before it
    Summaries pre;         // txtHisPreLst...: the draw N back (filled by rebuilds only)
    std::string strQQH;

    int digit(int position) const { return own[position - 1][0]; }
};

// A draw as the user, a file or a page gives it: issue number and three digits. One line of a
// history text file ("2013001 123").
struct DrawLine {
    std::int32_t issue = 0;
    std::array<int, 3> digits{};
    bool operator==(const DrawLine&) const = default;
};

// Everything a writer carries from one appended row to the next.
struct RunningState {
    DrawCodes prev{};    // codes of the last written draw: the next row's S codes
    DrawCodes back{};    // codes of the draw before it: the next row's P codes
    Summaries summaries; // the last written draw's digits and pattern strings

    // The state of a writer that starts on an empty history.
    static RunningState empty() { return {}; }
    // The state of a writer that appends after the stored row `last`.
    static RunningState after(const DrawRow& last);
};

// The summaries (digits and the four pattern strings) of a draw.
Summaries summariesOf(const DrawCodes& codes);

// Builds the row of a new draw from the running state and advances the state.
// The N-back columns are left empty and the work columns untouched, as every appending path does.
DrawRow appendDraw(std::int32_t issue, const std::array<int, 3>& digits, int segmentParam,
                   RunningState& state);

} // namespace brenvik
