// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line companion of the window: the same history database, the same searches.
#include "CliOptions.h"

int main(int argc, char* argv[]) {
    using namespace brenvik::cli;
    Commands commands;
    addCompanionCommands(commands);
    return commands.run(argc, argv);
}
