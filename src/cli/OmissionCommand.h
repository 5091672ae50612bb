// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CliOptions.h"

namespace brenvik::cli {

// The command "omission": the omission table of a range of draws (the last 100 unless told
// otherwise): per position and digit, and for the sum, span and form, the five figures, the count
// expected of fair draws and the interval of the observed share.
void addOmissionCommand(Commands& commands);

} // namespace brenvik::cli
