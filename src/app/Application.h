#pragma once

#include "app/CommandLine.h"

namespace tolvane::platform {
class StopSource;
}

namespace tolvane::app {

class FrontEnd;

// Start-up, then the resident loop (or one tick with --once), wired to the stop request.
// Returns the exit status.
int RunProgram(FrontEnd& frontEnd, const platform::StopSource& stop, const Options& options);

}  // namespace tolvane::app
