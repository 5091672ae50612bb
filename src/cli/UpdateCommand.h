#pragma once

#include "CliOptions.h"

namespace brenvik::cli {

// The online update of the window's button, for scripts: the same chart addresses, limits and
// retention rule, the stored settings for whatever the command line leaves out. Returns the
// exit status.
int runUpdate(const Options& options);

// update: runUpdate from the command line.
void addUpdateCommand(Commands& commands);

} // namespace brenvik::cli
