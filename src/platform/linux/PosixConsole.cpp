#include "platform/Console.h"

namespace tolvane::platform {

// A POSIX program has the streams its parent gave it, console or not.
void AttachParentConsole() {}

}  // namespace tolvane::platform
