// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CliOptions.h"

namespace brenvik::cli {

// "log add", "log list" and "log withdraw ID": the logbook of predictions of the window's
// 预测记录, for scripts.
void addLogCommand(Commands& commands);

} // namespace brenvik::cli
