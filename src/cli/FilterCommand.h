// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CliOptions.h"

namespace brenvik::cli {

// The command "filter" (缩水): the numbers 000..999 that meet the conditions given, and what
// buying all of them every draw of a range of the history would have won and cost.
void addFilterCommand(Commands& commands);

} // namespace brenvik::cli
