// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CliOptions.h"

namespace brenvik::cli {

// follow and combo: the window's two searches, their tally printed as a table or as JSON.
void addSearchCommands(Commands& commands);

} // namespace brenvik::cli
