#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "common/Clock.h"
#include "platform/Platform.h"

namespace tolvane::platform::posix {

// The name of the lock file that ClaimFolder keeps inside a claimed folder.
inline constexpr const char* kClaimFileName = ".tolvane.lock";

// How long another computer's lock file must stay unchanged before it counts as left by a
// program that died, and how often a holder rewrites its own. Far apart, so that a slow share
// or a busy holder never looks dead.
struct ClaimTimes {
    std::chrono::milliseconds refreshEvery{std::chrono::seconds(15)};
    std::chrono::milliseconds staleAfter{std::chrono::minutes(3)};
};

// What one program has seen of the lock files of others: a holder on another computer cannot
// be asked whether it lives, only watched, on this program's own clock (the clocks of two
// computers need not agree).
class ClaimWatch {
  public:
    explicit ClaimWatch(Clock& clock = SteadyClock(), ClaimTimes times = {})
        : clock_(clock), times_(times) {}

    const ClaimTimes& times() const { return times_; }
    // Whether the lock file at `path` has held `content` for the stale period, as far as this
    // program has watched it.
    bool UnchangedLongEnough(const std::string& path, const std::string& content);
    void Forget(const std::string& path);

  private:
    struct Seen {
        std::string content;
        Clock::TimePoint since;
    };
    Clock& clock_;
    ClaimTimes times_;
    std::mutex mutex_;
    std::map<std::string, Seen> seen_;
};

// Claims a folder with a lock file created exclusively inside it, naming its holder (computer
// and process) and rewritten while held: byte-range locks do not travel between the computers
// of many shares, the creation of a file does. Another's lock file holds this program off
// unless its holder is a process of this computer that no longer runs, or it has stayed
// unchanged for the stale period. Nothing when held elsewhere; a Failure when the lock file
// cannot be made.
std::unique_ptr<FolderClaim> ClaimFolder(const std::string& folder, ClaimWatch& watch);

// The computer's name as lock files give it.
std::string ComputerName();

}  // namespace tolvane::platform::posix
