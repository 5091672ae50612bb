// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CliOptions.h"
#include "NumberFilter.h"
#include "PredictionLog.h"

namespace brenvik::cli {

// The command "filter" (缩水): the numbers 000..999 that meet the conditions given, and what
// buying all of them every draw of a range of the history would have won and cost.
void addFilterCommand(Commands& commands);

// The conditions of 缩水 as options (--sum, --span, --form, --odd, --big, --dan, --dan-all,
// --kill, --pos1..3, --kill1..3), read into `c`.
void addFilterConditions(CLI::App& command, stats::FilterConditions& c);

// --ticket direct|group, read into `ticket`; `description` says what the tickets are for.
void addTicketOption(CLI::App& command, Ticket& ticket, const std::string& description);

// The kept numbers, or tickets, ten to a line as a bet slip lists them.
std::string numbersText(const std::vector<int>& numbers);

} // namespace brenvik::cli
