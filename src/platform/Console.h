#pragma once

// The standard streams of a program that the system may start without them.

namespace tolvane::platform {

// Tolvane.exe is a program of the Windows GUI subsystem: started at logon or from Explorer it
// opens no console window. Started from a console without redirection it has no standard
// streams, though; for a command line that talks on them this attaches the process to
// the console of the program that started it and opens the missing streams there: the
// process's standard handles and the C++ standard streams, which write Unicode to the console.
// Streams the process was given (redirected to a file or a pipe) stay as they are. Nothing
// when the program has no console to attach to, and nothing on other systems, where a program
// always has the streams its parent gave it. Called before anything is written.
void AttachParentConsole();

}  // namespace tolvane::platform
