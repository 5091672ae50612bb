// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line companion of the window: the same history database, the same searches.
#include "BacktestCommand.h"
#include "CliOptions.h"
#include "FilterCommand.h"
#include "HistoryCommands.h"
#include "LogCommand.h"
#include "OmissionCommand.h"
#include "SearchCommands.h"
#include "UpdateCommand.h"

int main(int argc, char* argv[]) {
    using namespace brenvik::cli;
    // One line per command file; the order is the order of the overall help.
    Commands commands;
    addHistoryCommands(commands);
    addSearchCommands(commands);
    addBacktestCommand(commands);
    addLogCommand(commands);
    addUpdateCommand(commands);
    addOmissionCommand(commands);
    addFilterCommand(commands);
    return commands.run(argc, argv);
}
