#pragma once

#include "Game.h"
#include "HistorySnapshot.h"
#include "HistoryText.h"

#include <span>
#include <string>

namespace brenvik {

// The issues a file to import shares with the stored history. Both games draw under the same
// issue numbers, so a file of the other game shares most of its issues with the history and
// differs in nearly all of them, where a longer file of the same game differs in none.
struct SharedIssues {
    long long shared = 0;    // issues in both
    long long different = 0; // of those, the issues drawn with other digits

    bool looksLikeOtherGame() const { return different * 2 > shared; }
};

SharedIssues compareIssues(const HistorySnapshot& history, std::span<const DrawLine> draws);
// The same with the stored history given as its draws, in issue order.
SharedIssues compareIssues(std::span<const DrawLine> stored, std::span<const DrawLine> draws);

// "文件与当前彩种（福彩3D）的历史号码不符：共同的 7,731 期中 7,012 期不同。"
std::string otherGameNotice(Game game, const SharedIssues& issues);

} // namespace brenvik
