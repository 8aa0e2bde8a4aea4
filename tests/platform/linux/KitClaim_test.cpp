// The claim on a kit folder shared by users and computers: one program at a time, and a claim
// whose holder died holds no one for long.

#include "platform/linux/KitClaim.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/SecondMount.h"
#include "support/ShiftedClock.h"
#include "support/TempDir.h"

namespace tolvane::platform::posix {
namespace {

using namespace std::chrono_literals;
using test::ReadFile;
using test::WriteFile;

// The process number of a process that has ended.
pid_t EndedProcess() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

class KitClaimTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directory(kit);
        fs::permissions(kit, fs::perms::all);
    }

    // The lock file of a holder that names itself so.
    void Planted(const std::string& computer, long pid, int rewrites) {
        WriteFile(lock, "tolvane " + computer + " " + std::to_string(pid) + " " +
                            std::to_string(rewrites) + "\n");
    }

    test::TempDir dir;
    const fs::path kit = dir.path() / "kit";
    const fs::path lock = kit / kClaimFileName;
    test::ShiftedClock clock;
    ClaimWatch watch{clock, ClaimTimes{10ms, 3min}};
};

// While a program holds the folder its lock file names it, and no other claim succeeds, through
// the same folder or through a second mount that byte-range locks do not cross; at its end the
// file goes and the folder is free. A holder killed on this computer holds no one.
TEST_F(KitClaimTest, OneHolderAtATimeThroughEveryMountAndAKilledOneHoldsNoOne) {
    std::optional<test::SecondMount> mount;
    if (test::SecondMount::Unavailable().empty())
        mount.emplace(kit);
    const std::string second = mount ? mount->prefix() : kit.string() + "/";
    {
        const auto held = ClaimFolder(kit.string(), watch);
        ASSERT_NE(held, nullptr);
        EXPECT_TRUE(ReadFile(lock).starts_with("tolvane " + ComputerName() + " " +
                                               std::to_string(::getpid()) + " 0 "))
            << ReadFile(lock);
        ClaimWatch other;
        EXPECT_EQ(ClaimFolder(second, other), nullptr);
    }
    EXPECT_FALSE(fs::exists(lock));

    const std::string ready = dir.prefix() + "listo";
    const pid_t holder = ::fork();
    if (holder == 0) {
        ClaimWatch own;
        const auto claim = ClaimFolder(kit.string(), own);
        WriteFile(ready, claim ? "1" : "0");
        ::pause();
        ::_exit(0);
    }
    while (!fs::exists(ready) || ReadFile(ready).empty())
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(ReadFile(ready), "1");
    EXPECT_EQ(ClaimFolder(second, watch), nullptr);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_NE(ClaimFolder(second, watch), nullptr);
    if (!mount)
        GTEST_SKIP() << "checked on one mount only: " << test::SecondMount::Unavailable();
}

// A lock file naming this very process that it no longer holds (its folder was renamed while a
// pass held it) is a leftover: it holds no one, not even for the stale period.
TEST_F(KitClaimTest, ALockFileThisProcessLeftBehindHoldsNoOne) {
    Planted(ComputerName(), ::getpid(), 5);
    const auto claim = ClaimFolder(kit.string(), watch);
    ASSERT_NE(claim, nullptr);
    EXPECT_EQ(ClaimFolder(kit.string(), watch), nullptr) << "the live claim holds";
}

// A holder on another computer cannot be asked whether it runs: its lock file holds until it
// has stayed unchanged for the stale period on this program's clock, and a rewrite starts the
// period again. A live holder rewrites its own all along.
TEST_F(KitClaimTest, AnotherComputersClaimHoldsUntilItStaysUnchangedForTheStalePeriod) {
    Planted("otra-pc", 4242, 7);
    EXPECT_EQ(ClaimFolder(kit.string(), watch), nullptr);
    clock.ahead += 2min;
    EXPECT_EQ(ClaimFolder(kit.string(), watch), nullptr);
    Planted("otra-pc", 4242, 8);
    EXPECT_EQ(ClaimFolder(kit.string(), watch), nullptr);
    clock.ahead += 2min;
    EXPECT_EQ(ClaimFolder(kit.string(), watch), nullptr);
    clock.ahead += 1min;
    {
        const auto taken = ClaimFolder(kit.string(), watch);
        ASSERT_NE(taken, nullptr);
        EXPECT_TRUE(ReadFile(lock).starts_with("tolvane " + ComputerName() + " "));
        EXPECT_EQ(test::Names(kit), (std::vector<std::string>{kClaimFileName}));
    }

    const auto live = ClaimFolder(kit.string(), watch);
    ASSERT_NE(live, nullptr);
    test::ShiftedClock elsewhere;
    ClaimWatch watcher(elsewhere, ClaimTimes{10ms, 3min});
    const std::string seen = ReadFile(lock);
    EXPECT_EQ(ClaimFolder(kit.string(), watcher), nullptr);
    elsewhere.ahead += 3min;
    for (int waited = 0; ReadFile(lock) == seen && waited < 2000; waited += 10)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(ClaimFolder(kit.string(), watcher), nullptr) << "the holder never rewrote " << seen;
}

// A claim of `folder` by another user (nobody) in a process of its own: 0 claimed, 1 held
// elsewhere, 2 failed.
int ClaimAsNobody(const fs::path& folder) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(3);
        try {
            ClaimWatch watch;
            ::_exit(ClaimFolder(folder.string(), watch) ? 0 : 1);
        } catch (...) {
            ::_exit(2);
        }
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Every user who may write the kit's folder can read who holds it, whatever the holder's umask,
// and a lock file that another user's program left when it died holds no one.
TEST_F(KitClaimTest, EveryUserSeesTheHolderAndAClaimLeftByAnotherUserHoldsNoOne) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    const mode_t umask = ::umask(077);
    {
        const auto claim = ClaimFolder(kit.string(), watch);
        ::umask(umask);
        ASSERT_NE(claim, nullptr);
        EXPECT_EQ(fs::status(lock).permissions(), static_cast<fs::perms>(0644));
        EXPECT_EQ(ClaimAsNobody(kit), 1);
    }
    Planted(ComputerName(), EndedProcess(), 3);  // by root, as another user's program
    fs::permissions(lock, static_cast<fs::perms>(0644));
    EXPECT_EQ(ClaimAsNobody(kit), 0);
}

}  // namespace
}  // namespace tolvane::platform::posix
