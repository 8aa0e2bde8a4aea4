#pragma once

#include <chrono>

namespace tolvane {

// Time as the program waits on it: what remembers across passes or waits for files to settle
// takes a clock, so that tests can move time by hand.
class Clock {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    virtual TimePoint Now() const = 0;
    virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

// The machine's steady clock and a real sleep.
Clock& SteadyClock();

}  // namespace tolvane
