// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CliOptions.h"

namespace brenvik::cli {

// backtest: the walk-forward backtest of the follow search the options describe, as the window's
// 回测 window runs it: the summary, the random twins and, with --rows, every target.
void addBacktestCommand(Commands& commands);

} // namespace brenvik::cli
