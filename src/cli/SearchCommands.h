// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CliOptions.h"

namespace brenvik::cli {

// follow and combo: the window's two searches, their tally printed as a table or as JSON.
void addSearchCommands(Commands& commands);

// The follow search's options on `command`. Without `patternChoice` there is no --pattern,
// --before, --size or --matched: the pattern is the newest draw's (or the draw N back's).
void addFollowOptions(CLI::App& command, Options& o, bool patternChoice);

} // namespace brenvik::cli
