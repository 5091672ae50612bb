// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brenvik {

// The sequence number after which the next-issue rule starts a new year.
inline constexpr int kIssuesPerYear = 358;

// Both games draw at most once a day, so no year has a sequence number beyond 366; the first
// draws of either game are from 2002.
inline constexpr int kLastSequence = 366;
inline constexpr int kFirstIssueYear = 2002;

// A seven-digit issue number yyyyNNN (year 1000..9999, sequence 001..999) as typed or read;
// blanks around it are allowed, anything else is not.
std::optional<std::int32_t> parseIssue(std::string_view text);

// The issue proposed after the last stored one: sequence 358 rolls into 001 of the next year,
// everything else counts on (2013358 -> 2014001, 2013359 -> 2013360).
std::int32_t nextIssueProposal(std::int32_t last);

// The issue the window proposes for the next draw, given the calendar year in China: while that
// year is the last stored issue's year (or earlier), the next sequence; once a later year has
// begun, the first issue of the year after the last one's. How many draws a year has varies
// (313 to 359), so only the calendar tells that a year is over. Never a sequence beyond 366.
std::int32_t proposedIssue(std::int32_t last, int year);

// What an issue stands for. A draw cannot come from a year that has not begun in China; the draw a
// prediction is for may be the first of next year, recorded in the last days of this one.
enum class IssueUse { Draw, Prediction };

// Why `issue` cannot name a draw (or a prediction's draw) when the calendar year in China is
// `currentYear`: a sequence number outside 001–366 or a year outside 2002 to the current year (to
// the next one for a prediction): "期号 2026999 的序号 999 超出 001–366". Nothing for an issue that
// can.
std::optional<std::string> issueProblem(std::int32_t issue, int currentYear, IssueUse use = IssueUse::Draw);

// A typed issue: seven digits (blanks around allowed) that issueProblem finds nothing against.
// The error, without a closing mark, says which it failed ("“abc”不是七位期号（例如 2014001）").
Result<std::int32_t> readIssue(std::string_view text, int currentYear, IssueUse use = IssueUse::Draw);

// The calendar year in China (UTC+8, no daylight saving) at a moment.
int chinaYear(std::chrono::system_clock::time_point moment);

// The issue before a chosen one, taking 359 as the last sequence of any year so that a "<="
// comparison covers every real year end (2014001 -> 2013359, 2013010 -> 2013009).
std::int32_t issueBefore(std::int32_t issue);

// A whole number in [min, max] written in decimal, optionally signed, blanks around allowed.
std::optional<long long> parseWholeNumber(std::string_view text, long long min, long long max);
// A count with thousands separators, as every message shows counts: 7,731.
std::string groupedCount(long long count);

// Position of the draw a pattern is taken from in a history of `count` draws: the last one, or
// N - 1 before it when the pattern lies N draws back. Nothing when there are too few draws.
std::optional<std::size_t> patternSourceIndex(std::size_t count, bool lastDraw, int n);

// First issue of the search range: the first stored issue plus 1, or plus N in N-back mode.
// Plain addition, no year carry.
inline std::int32_t rangeStart(std::int32_t firstIssue, bool lastDraw, int n) {
    return firstIssue + (lastDraw ? 1 : n);
}

} // namespace brenvik
