// SPDX-License-Identifier: GPL-3.0-or-later
#include "DrawRow.h"

namespace brenvik {

Summaries summariesOf(const DrawCodes& codes) {
    Summaries s;
    s[0] = digitsText(codes);
    for (int k = 0; k < kKindCount; ++k)
        s[1 + k] = patternString(codes, static_cast<Kind>(k));
    return s;
}

RunningState RunningState::after(const DrawRow& last) {
    RunningState state;
    state.prev = last.own;
    state.back = last.prev;
    state.summaries = summariesOf(last.own);
    return state;
}

DrawRow appendDraw(std::int32_t issue, const std::array<int, 3>& digits, int segmentParam,
                   RunningState& state) {
    DrawRow row;
    row.own = codesOfDraw(digits, segmentParam);
    row.prev = state.prev;
    row.back = state.back;
    row.sqqh = issue;
    row.qqh = issue + 1;
    row.last = state.summaries;

    state.back = state.prev;
    state.prev = row.own;
    state.summaries = summariesOf(row.own);
    return row;
}

} // namespace brenvik
