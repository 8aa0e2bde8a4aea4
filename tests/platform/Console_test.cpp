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
    EXPECT_FALSE(Talks({}));
    EXPECT_FALSE(Talks({"--once"}));
    EXPECT_TRUE(Talks({"--headless"}));
    EXPECT_TRUE(Talks({"--once", "--headless"}));
    EXPECT_TRUE(Talks({"--headless", "--once"}));
    EXPECT_TRUE(Talks({"--version"}));
    EXPECT_TRUE(Talks({"--help"}));
    EXPECT_TRUE(Talks({"-h"}));
    EXPECT_TRUE(Talks({"--once", "--bogus"}));
    EXPECT_TRUE(Talks({"once"}));
}

}  // namespace
}  // namespace tolvane::platform
