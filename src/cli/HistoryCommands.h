// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CliOptions.h"

namespace brenvik::cli {

// import, export, add and undo: the commands that fill, write out and correct the history.
void addHistoryCommands(Commands& commands);

} // namespace brenvik::cli
