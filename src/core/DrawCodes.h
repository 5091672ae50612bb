// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace brenvik {

// The four kinds of code every digit of a draw carries. The index is the one the option
// groups of the window use (search type, result type) and the one stored in the settings.
enum class Kind : int { Number = 0, BigSmall = 1, OddEven = 2, Segment = 3 };

inline constexpr int kKindCount = 4;
inline constexpr int kPositions = 3;

// Column letters by kind index. Six entries as the window keeps them; only 0..3 name columns.
inline constexpr std::array<std::string_view, 6> kKindLetters = {"A", "B", "E", "F", "G", "H"};

// Captions of the kinds as the option buttons show them.
inline constexpr std::array<std::string_view, 4> kKindCaptions = {"号码", "大小", "单双", "段数"};

// Codes of one digit, indexed by kind.
using DigitCodes = std::array<std::int16_t, kKindCount>;
// Codes of a whole draw: [position 0..2][kind 0..3].
using DrawCodes = std::array<DigitCodes, kPositions>;

// The four codes of digit d (0..9) with segment parameter p (0 or 1).
DigitCodes codesOf(int digit, int segmentParam);

DrawCodes codesOfDraw(const std::array<int, 3>& digits, int segmentParam);

// Number of distinct values a kind's occurrence counter must hold (digits 10, big/small and
// odd/even 2, segments 0..5 so 6).
int counterSize(Kind kind);

// The occurrence-token string of one kind for a draw: for every position the running count of
// the code, "X", the code and one blank. Codes 5,5,3 give "1X5 2X5 1X3 ".
std::string patternString(const DrawCodes& codes, Kind kind);

// The three digits as text without separators ("503").
std::string digitsText(const DrawCodes& codes);

enum class Variant { Own, Previous /* "S" */, Back /* "P" */ };

// "L" + position (1..3) + kind letter + optional "S"/"P", e.g. L2FS.
std::string columnName(int position, Kind kind, Variant variant = Variant::Own);

// The label a tally shows for an outcome of a kind ("大"/"小", "单"/"双", or the number).
std::string outcomeLabel(Kind kind, int value);

} // namespace brenvik
