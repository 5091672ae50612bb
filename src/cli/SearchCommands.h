// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CliOptions.h"

namespace brenvik::cli {

// follow and combo: the window's two searches, their tally printed as a table or as JSON.
void addSearchCommands(Commands& commands);

// The follow search's options that leave the pattern to the history, for a command that takes the
// pattern from the draws: positions, back, type, check, result type and position, the range as
// `rangeDescription` says, segment and format, and --group when `group` is set.
void addFollowOptions(CLI::App& command, Options& o, const std::string& rangeDescription, bool group = false);

} // namespace brenvik::cli
