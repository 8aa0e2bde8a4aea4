#include "platform/Console.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace tolvane::platform {
namespace {

bool Talks(std::initializer_list<const char*> options) {
    std::vector<const char*> argv{"Tolvane.exe"};
    argv.insert(argv.end(), options);
    return TalksOnStandardStreams(static_cast<int>(argv.size()), argv.data());
}

// The windowed front-end (no option, or --once alone) has no use for a console; every other
// command line says or asks something on the standard streams.
TEST(ConsoleTest, EveryCommandLineButTheWindowedFrontEndsTalksOnTheStandardStreams) {
    EXPECT_FALSE(Talks({}) || Talks({"--once"}));
    EXPECT_TRUE(Talks({"--headless"}) && Talks({"--once", "--headless"}) &&
                Talks({"--headless", "--once"}) && Talks({"--version"}) && Talks({"--help"}) &&
                Talks({"-h"}) && Talks({"--once", "--bogus"}) && Talks({"once"}));
}

}  // namespace
}  // namespace tolvane::platform
