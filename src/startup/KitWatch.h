#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "platform/Platform.h"

namespace tolvane::startup {

// The two kit files of one dispatch as they were seen.
struct KitPairState {
    platform::FileState caratula;
    platform::FileState items;

    bool operator==(const KitPairState&) const = default;
};

// How long both files of a dispatch must stay the same before it is taken: the setting ESPERA
// in milliseconds; 1 s when it is empty or holds no number; 0 takes dispatches at once.
std::chrono::milliseconds QuietPeriod(const std::string& espera);

// Only files the kit wrote are taken: a file of the pair that is there but is not a regular
// file of its own (a symbolic link, a pipe, a folder) fails with a message naming it, since a
// link would send out whatever file it points at.
void RequireOwnFiles(const std::string& folder, const std::string& coverName,
                     const KitPairState& state);

// Watches the pending dispatches from pass to pass, so that a dispatch is taken only once its
// two files have stayed the same (size, modification time and identity) for the quiet period:
// the listing also shows dispatches that the kit is still writing.
class KitWatch {
  public:
    enum class Verdict {
        Still,     // unchanged for the quiet period: take it
        Changing,  // still being written after a wait: leave it for the next pass
        Stopped,   // a stop was requested while waiting
    };
    struct Outcome {
        Verdict verdict;
        KitPairState state;  // as last seen: the files that are read if the dispatch is taken
        Clock::TimePoint::duration stillFor{};  // how long they have been as they are, as far as seen
    };

    KitWatch(platform::Platform& os, Clock& clock) : os_(os), clock_(clock) {}

    KitPairState Look(const std::string& folder, const std::string& coverName);

    // The listing of a new pass: the dispatches named are looked at now, the others forgotten.
    void Listed(const std::string& folder, const std::vector<std::string>& coverNames);

    // Waits, yielding, until the dispatch has been still for the quiet period; gives up after
    // twice that period. Fails as RequireOwnFiles does.
    Outcome WaitUntilStill(const std::string& folder, const std::string& coverName,
                           std::chrono::milliseconds quiet, const std::function<void()>& yield,
                           const std::function<bool()>& stopRequested);

  private:
    struct Seen {
        KitPairState state;
        Clock::TimePoint since;
    };

    platform::Platform& os_;
    Clock& clock_;
    std::map<std::string, Seen> seen_;
};

}  // namespace tolvane::startup
