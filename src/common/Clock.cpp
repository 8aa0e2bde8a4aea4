#include "common/Clock.h"

#include <thread>

namespace tolvane {
namespace {

class Steady final : public Clock {
  public:
    TimePoint Now() const override { return std::chrono::steady_clock::now(); }
    void Sleep(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(duration);
    }
};

}  // namespace

Clock& SteadyClock() {
    static Steady clock;
    return clock;
}

}  // namespace tolvane
