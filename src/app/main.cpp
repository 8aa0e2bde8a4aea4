// Entry point: reads the command line, picks the front-end and runs the program.

#include <iostream>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/FrontEnd.h"
#include "common/ExitStatus.h"
#include "platform/Console.h"
#include "platform/StopSource.h"

int main(int argc, char** argv) {
    using namespace tolvane::app;
    const CommandLine line = ParseCommandLine(argc, argv);
    if (TalksOnStandardStreams(line))
        tolvane::platform::AttachParentConsole();
    switch (line.request) {
        case CommandLine::Request::Help:
            PrintUsage(std::cout);
            PrintSettingsFolder(std::cout);
            return tolvane::exit_status::kOk;
        case CommandLine::Request::Version:
            PrintVersion(std::cout);
            return tolvane::exit_status::kOk;
        case CommandLine::Request::ActivityLog:
            PrintActivityLog(std::cout, line.logDays);
            return tolvane::exit_status::kOk;
        case CommandLine::Request::StopOthers:
            return StopOthers(std::cout);
        case CommandLine::Request::SetKitFolder:
            return SetKitFolder(line.kitFolder, std::cout, std::cerr);
        case CommandLine::Request::CreateHistory:
            return CreateHistory(std::cout, std::cerr);
        case CommandLine::Request::Unknown:
            std::cerr << "tolvane: opción desconocida '" << line.unknown << "'\n";
            PrintUsage(std::cerr);
            return tolvane::exit_status::kUsage;
        case CommandLine::Request::Run:
            break;
    }
    const auto stop = tolvane::platform::InstallStopSource();
    const auto frontEnd = CreateFrontEnd(line.options.headless, argc, argv, *stop);
    return RunProgram(*frontEnd, *stop, line.options);
}
