// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CliOptions.h"
#include "Error.h"
#include "HistorySnapshot.h"
#include "SearchConditions.h"
#include "SearchIndex.h"

namespace brenvik::cli {

// follow and combo: the window's two searches, their tally printed as a table or as JSON.
void addSearchCommands(Commands& commands);

// The follow search's options that leave the pattern to the history, for a command that takes the
// pattern from the draws: positions, back, type, check, result type and position, the range as
// `rangeDescription` says, segment and format, and --group when `group` is set.
void addFollowOptions(CLI::App& command, Options& o, const std::string& rangeDescription, bool group = false);
// The options of one search each: --check (follow), --size (combo), --pattern (both).
CLI::Option* addCheckOption(CLI::App& follow, Options& o);
CLI::Option* addSizeOption(CLI::App& combo, Options& o);
CLI::Option* addPatternOption(CLI::App& search, Options& o);

// The search the options describe on history `h`, its pattern and range as the window would set
// them; refused when the draws before --before are too few to take the pattern from.
Result<SearchConditions> searchConditionsOf(const Options& o, const HistorySnapshot& h);
// The draws the search `c` matches: the follow or the combination search, as it says.
Selection searchSelection(const SearchIndex& index, const SearchConditions& c);

} // namespace brenvik::cli
