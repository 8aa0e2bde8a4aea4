#include "ui/win32/Win32Window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace tolvane::ui::win32 {
namespace {

using Clock = std::chrono::steady_clock;

// Timer1 ticks in the loop while enabled, never when disabled; a stop request ends the loop
// after the tick in hand.
TEST(Win32WindowTest, TheLoopRunsTimer1UntilAStopIsRequested) {
    Win32Window window;
    const HANDLE stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // Period, enabled, whether it ticks within 400 ms.
    for (const auto& [period, enabled, ticks] :
         {std::tuple{20u, true, true}, std::tuple{20u, false, false},
          std::tuple{0u, true, false}}) {
        ::ResetEvent(stop);
        window.SetTimer(period, enabled);
        int count = 0;
        std::thread requester([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            ::SetEvent(stop);
        });
        const auto start = Clock::now();
        window.RunLoop(reinterpret_cast<platform::WaitHandle>(stop), [&] {
            ++count;
            std::this_thread::sleep_for(std::chrono::milliseconds(30));  // a tick takes time
        });
        requester.join();
        EXPECT_EQ(count > 2, ticks) << period << " " << enabled << ": " << count;
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    }
    ::CloseHandle(stop);
}

}  // namespace
}  // namespace tolvane::ui::win32
