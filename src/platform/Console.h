#pragma once

// The standard streams of a program that the system may start without them.

namespace tolvane::platform {

// Whether a command line asks for something said or asked on the standard streams rather than
// in windows: the console front-end (--headless), the help, the version, or the complaint
// about an option the program does not know. Nothing, or --once alone, is the windowed
// front-end.
bool TalksOnStandardStreams(int argc, const char* const* argv);

// Tolvane.exe is a program of the Windows GUI subsystem: started at logon or from Explorer it
// opens no console window. Started from a console without redirection it has no standard
// streams, though; for a command line that talks on them (above) this attaches the process to
// the console of the program that started it and opens the missing streams there: the
// process's standard handles and the C++ standard streams, which write Unicode to the console.
// Streams the process was given (redirected to a file or a pipe) stay as they are. Nothing
// when the program has no console to attach to, and nothing on other systems, where a program
// always has the streams its parent gave it. Called first thing in main().
void AttachParentConsole(int argc, char** argv);

}  // namespace tolvane::platform
