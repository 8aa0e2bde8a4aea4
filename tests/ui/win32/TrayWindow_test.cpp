#include "ui/win32/TrayWindow.h"

#include <gtest/gtest.h>

#include "support/ScriptedWindow.h"

namespace tolvane::ui::win32 {
namespace {

// What the window's own procedure does with the messages the shell sends for the icon.
TEST(TrayWindowTest, OnlyALeftDoubleClickOnTheIconOpensTheMenu) {
    test::ScriptedWindow owner;
    int menus = 0;
    TrayWindow tray(owner, [&] { ++menus; });
    ASSERT_NE(tray.handle(), nullptr);
    // Mouse message, menus opened after it.
    const std::pair<LPARAM, int> events[] = {
        {WM_LBUTTONDOWN, 0}, {WM_LBUTTONUP, 0},     {WM_RBUTTONUP, 0},
        {WM_RBUTTONDOWN, 0}, {WM_LBUTTONDBLCLK, 1}, {WM_MOUSEMOVE, 1},
    };
    for (const auto& [event, opened] : events) {
        ::PostMessageW(tray.handle(), WM_MOUSEMOVE, 0, event);
        for (MSG message; ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);)
            ::DispatchMessageW(&message);
        EXPECT_EQ(menus, opened) << event;
    }
    EXPECT_TRUE(owner.boxes.empty());
}

}  // namespace
}  // namespace tolvane::ui::win32
