#pragma once

#include <iosfwd>
#include <string>

namespace tolvane::app {

struct Options {
    bool headless = false;  // no windows: messages on standard error, questions on the terminal
    bool once = false;      // start up, one tick, then exit
};

struct CommandLine {
    enum class Request {
        Run,
        Help,
        Version,
        ActivityLog,
        StopOthers,
        CreateHistory,
        SetKitFolder,
        Unknown
    };
    Request request = Request::Run;
    Options options;
    int logDays = 1;        // with Request::ActivityLog: how many days, today's included
    std::string kitFolder;  // with Request::SetKitFolder
    std::string unknown;    // the option not understood, with Request::Unknown
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

// Whether the command line asks for something said or asked on the standard streams rather
// than in windows: the console front-end (--headless), the help, the version, or the
// complaint about an option the program does not know. Nothing, or --once alone, is the
// windowed front-end.
bool TalksOnStandardStreams(const CommandLine& line);

void PrintUsage(std::ostream& out);
// Where this run's settings are.
void PrintSettingsFolder(std::ostream& out);
void PrintVersion(std::ostream& out);
// The activity log of the last `days` days.
void PrintActivityLog(std::ostream& out, int days);
// Asks the other running instances to stop and waits for them; the exit status: 0 when none
// runs any more.
int StopOthers(std::ostream& out);
// Sets the kit's output folder where the program keeps it (Linux); the exit status.
int SetKitFolder(const std::string& folder, std::ostream& out, std::ostream& err);
// Creates the empty HISTORIAL table where QuillonConfig.ini says; the exit status.
int CreateHistory(std::ostream& out, std::ostream& err);

}  // namespace tolvane::app
