#pragma once

#include <chrono>

#include "common/Clock.h"

namespace tolvane::test {

// The steady clock with real sleeps, set forward by hand: what waits for hours is seen at once.
struct ShiftedClock final : Clock {
    TimePoint Now() const override { return SteadyClock().Now() + ahead; }
    void Sleep(std::chrono::milliseconds duration) override { SteadyClock().Sleep(duration); }
    std::chrono::milliseconds ahead{0};
};

}  // namespace tolvane::test
