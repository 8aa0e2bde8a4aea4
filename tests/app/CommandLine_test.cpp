#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <tuple>
#include <vector>

namespace tolvane::app {
namespace {

using Request = CommandLine::Request;

CommandLine Parse(std::initializer_list<const char*> options) {
    std::vector<const char*> argv{"Tolvane.exe"};
    argv.insert(argv.end(), options);
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

// What each command line asks for, and whether it talks on the standard streams: the windowed
// front-end (no option, or --once alone) has no use for a console.
TEST(CommandLineTest, ReadsEachRequestAndTellsWhichTalkOnTheStandardStreams) {
    struct Case {
        std::initializer_list<const char*> options;
        Request request;
        bool headless, once, talks;
    };
    const Case cases[] = {
        {{}, Request::Run, false, false, false},
        {{"--once"}, Request::Run, false, true, false},
        {{"--headless"}, Request::Run, true, false, true},
        {{"--once", "--headless"}, Request::Run, true, true, true},
        {{"--version"}, Request::Version, false, false, true},
        {{"--help"}, Request::Help, false, false, true},
        {{"--once", "-h"}, Request::Help, false, true, true},
        {{"--once", "--bogus"}, Request::Unknown, false, true, true},
        {{"once"}, Request::Unknown, false, false, true},
        {{"--registro"}, Request::ActivityLog, false, false, true},
        {{"--registro", "30"}, Request::ActivityLog, false, false, true},
        {{"--registro", "0"}, Request::Unknown, false, false, true},
        {{"--registro", "ayer"}, Request::Unknown, false, false, true},
        {{"--detener", "--once"}, Request::StopOthers, false, false, true},
        {{"--carpeta-kit", "/srv/kit/out"}, Request::SetKitFolder, false, false, true},
        {{"--carpeta-kit"}, Request::Unknown, false, false, true},
    };
    for (const auto& c : cases) {
        const CommandLine line = Parse(c.options);
        EXPECT_EQ(std::tuple(line.request, line.options.headless, line.options.once,
                             TalksOnStandardStreams(line)),
                  std::tuple(c.request, c.headless, c.once, c.talks))
            << "case " << &c - cases;
    }
    EXPECT_EQ(Parse({"--registro", "30"}).logDays, 30);
    EXPECT_EQ(Parse({"--registro"}).logDays, 1);
    EXPECT_EQ(Parse({"--carpeta-kit", "/srv/kit/out"}).kitFolder, "/srv/kit/out");
}

}  // namespace
}  // namespace tolvane::app
