// SPDX-License-Identifier: GPL-3.0-or-later
// The companion's commands, shared by the program and the build step that writes its manual page
// and completion from them.
#include "BacktestCommand.h"
#include "CliOptions.h"
#include "FilterCommand.h"
#include "HistoryCommands.h"
#include "LogCommand.h"
#include "OmissionCommand.h"
#include "SearchCommands.h"
#include "UpdateCommand.h"

namespace brenvik::cli {

void addCompanionCommands(Commands& commands) {
    // One line per command file; the order is the order of the overall help.
    addHistoryCommands(commands);
    addSearchCommands(commands);
    addBacktestCommand(commands);
    addLogCommand(commands);
    addUpdateCommand(commands);
    addOmissionCommand(commands);
    addFilterCommand(commands);
    commands.finish();
}

} // namespace brenvik::cli
