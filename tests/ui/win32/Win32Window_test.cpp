#include "ui/win32/Win32Window.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <atomic>
#include <chrono>
#include <thread>

#include "common/Failure.h"
#include "common/Stop.h"
#include "support/ProgramRig.h"
#include "ui/FormLayout.h"
#include "ui/TrayEvents.h"
#include "ui/win32/Clerk.h"

namespace tolvane::ui::win32 {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Runs the window's messages on this thread until `done` is true, five seconds at most.
template <class Done>
void PumpUntil(Win32Window& window, Done done) {
    const auto deadline = Clock::now() + 5s;
    while (!done() && Clock::now() < deadline) {
        window.DoEvents();
        std::this_thread::sleep_for(5ms);
    }
}

std::wstring ListItems(HWND list) {
    std::wstring items;
    const auto count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t item[256] = {};
        ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
        items += std::wstring(item) + L";";
    }
    return items;
}

class Win32WindowTest : public ::testing::Test {
  protected:
    ~Win32WindowTest() override { ::CloseHandle(stop); }

    Win32Window window;
    const HANDLE stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

// Timer1 ticks in the loop while enabled, never when disabled; a stop request ends the loop
// after the tick in hand.
TEST_F(Win32WindowTest, TheLoopRunsTimer1UntilAStopIsRequested) {
    // Period, enabled, whether it ticks within 400 ms.
    for (const auto& [period, enabled, ticks] :
         {std::tuple{20u, true, true}, std::tuple{20u, false, false},
          std::tuple{0u, true, false}}) {
        Win32Window fresh;  // a stop ends a window's loop for good
        ::ResetEvent(stop);
        fresh.SetTimer(period, enabled);
        int count = 0;
        std::thread requester([&] {
            std::this_thread::sleep_for(400ms);
            ::SetEvent(stop);
        });
        const auto start = Clock::now();
        fresh.RunLoop(reinterpret_cast<platform::WaitHandle>(stop), [&] {
            ++count;
            std::this_thread::sleep_for(30ms);  // a tick takes time
        });
        requester.join();
        EXPECT_EQ(count > 2, ticks) << period << " " << enabled << ": " << count;
        EXPECT_LT(Clock::now() - start, 2s);
    }
}

// A stop closes the box that is open, whoever waits on it, and no box opens after it.
TEST_F(Win32WindowTest, AStopClosesAnOpenBoxAndRefusesTheNext) {
    window.WatchStop(reinterpret_cast<platform::WaitHandle>(stop));
    std::thread requester([&] {
        test::WaitForWindow(L"#32770");
        ::SetEvent(stop);
    });
    const auto start = Clock::now();
    EXPECT_THROW(window.MessageBox("¿Reintentar?", kMbYesNo), Interrupted);
    requester.join();
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_THROW(window.MessageBox("otra", kMbOk), Interrupted);
}

// Only a left double click on the icon opens the menu; its entries open and hide the window.
TEST_F(Win32WindowTest, TheIconsDoubleClickOpensTheMenuWhoseEntriesShowAndHideTheWindow) {
    const HWND frmLista = window.frmLista().handle();
    // The icon's mouse message, the entry chosen (downward steps) if a menu opens, whether
    // the window is then in view.
    const std::tuple<LPARAM, int, bool> cases[] = {
        {WM_LBUTTONDOWN, 0, false}, {WM_RBUTTONUP, 0, false},     {WM_LBUTTONDBLCLK, 1, true},
        {WM_RBUTTONDOWN, 0, true},  {WM_LBUTTONDBLCLK, 3, false},
    };
    // Ticks wait while the menu is open: a pass's yields would take its clicks.
    std::atomic<int> ticks = 0;
    window.setTimerHandler([&] { ++ticks; });
    window.SetTimer(10, true);
    for (const auto& [event, entry, visible] : cases) {
        std::atomic<bool> clerkDone = false;
        std::thread clerk([&, event = event, entry = entry] {
            ::PostMessageW(window.tray().handle(), WM_MOUSEMOVE, 0, event);
            const HWND menu = test::WaitForWindow(L"#32768", nullptr, entry > 0 ? 5s : 300ms);
            EXPECT_EQ(menu != nullptr, entry > 0) << event;
            if (menu != nullptr) {
                const int before = ticks;
                std::this_thread::sleep_for(100ms);
                EXPECT_EQ(ticks, before) << "a tick ran inside the menu";
                for (int step = 0; step < entry; ++step)
                    test::PressKey(menu, VK_DOWN);
                test::PressKey(menu, VK_RETURN);
            }
            clerkDone = true;
        });
        PumpUntil(window, [&] { return clerkDone.load(); });
        clerk.join();
        window.DoEvents();  // the entry chosen
        EXPECT_EQ(::IsWindowVisible(frmLista) != FALSE, visible) << event;
    }
}

// The menu opens from the icon while a start-up box waits for its answer, and Esc in the
// window hides it again.
TEST_F(Win32WindowTest, TheMenuOpensWhileABoxIsOpenAndEscHidesTheWindow) {
    const HWND frmLista = window.frmLista().handle();
    std::atomic<bool> menuShown = false;
    std::thread clerk([&] {
        const HWND box = test::WaitForWindow(L"#32770");
        ::PostMessageW(window.tray().handle(), WM_MOUSEMOVE, 0, WM_LBUTTONDBLCLK);
        if (const HWND menu = test::WaitForWindow(L"#32768")) {
            menuShown = true;
            test::PressKey(menu, VK_DOWN);
            test::PressKey(menu, VK_RETURN);  // Abrir
        }
        for (int i = 0; i < 500 && !::IsWindowVisible(frmLista); ++i)
            std::this_thread::sleep_for(10ms);
        ::PostMessageW(box, WM_COMMAND, IDNO, 0);
    });
    EXPECT_EQ(window.MessageBox("¿Reintentar?", kMbYesNo), kIdNo);
    clerk.join();
    EXPECT_TRUE(menuShown);
    EXPECT_TRUE(::IsWindowVisible(frmLista));

    test::PressKey(window.frmLista().lst(), VK_ESCAPE);
    window.DoEvents();
    EXPECT_FALSE(::IsWindowVisible(frmLista));
}

// The window and its controls stand where the twips table puts them at this density, those
// of the frame placed from its corner.
TEST_F(Win32WindowTest, TheWindowIsLaidOutFromTheTwipsTable) {
    FrmLista& form = window.frmLista();
    const UINT dpi = WindowDpi(form.handle());
    const auto pixels = [dpi](double twips) { return TwipsToPixels(twips, dpi); };
    RECT client{};
    ::GetClientRect(form.handle(), &client);
    EXPECT_EQ(client.right, pixels(layout::kFrmListaWidth));
    EXPECT_EQ(client.bottom, pixels(layout::kFrmListaHeight));
    const auto placed = [&](HWND control) {
        RECT rect{};
        ::GetWindowRect(control, &rect);
        ::MapWindowPoints(nullptr, form.handle(), reinterpret_cast<POINT*>(&rect), 2);
        return std::tuple{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
    };
    const auto expected = [&](const layout::TwipsRect& rect, double left, double top) {
        return std::tuple{
            static_cast<LONG>(pixels(left + rect.left)), static_cast<LONG>(pixels(top + rect.top)),
            static_cast<LONG>(pixels(rect.width)), static_cast<LONG>(pixels(rect.height))};
    };
    const double frameLeft = layout::kFr.left, frameTop = layout::kFr.top;
    EXPECT_EQ(placed(form.lst()), expected(layout::kLst, 0, 0));
    EXPECT_EQ(placed(form.lbl(0)), expected(layout::kLblFile, frameLeft, frameTop));
    EXPECT_EQ(placed(form.lbl(1)), expected(layout::kLblNotice, frameLeft, frameTop));
    EXPECT_EQ(placed(form.pbMain()), expected(layout::kPbMain, frameLeft, frameTop));
}

// A pass shows its files, the file in progress and the progress in the window's controls
// while the window stays hidden.
class Win32PassTest : public ::testing::Test,
                      protected test::ProgramRig<test::TolvaneHome, Win32Window> {};

TEST_F(Win32PassTest, APassWithTheWindowHiddenFillsItsControls) {
    program.context().settings.RutaKitOut = kit;
    for (const char* name : {"C10073LAPI000001A.RET", "C10073LAPI000002B.RET"})
        test::WriteFile(kit + name, test::LapiCoverSheet(name));
    test::WriteFile(kit + "C3.RET", "<R><DESPACHO_CARATULA");
    test::WriteFile(kit + "C4.RET", test::LapiCoverSheet("4"));
    std::wstring box;
    std::thread clerk([&] {
        if (const HWND shown = test::WaitForWindow(L"#32770")) {
            box = test::WindowText(shown);
            ::PostMessageW(shown, WM_COMMAND, IDOK, 0);
        }
    });
    program.Procesar();
    clerk.join();

    FrmLista& form = window.frmLista();
    EXPECT_EQ(box, L"Tolvane") << "the failure's box";
    EXPECT_EQ(test::WindowText(form.lbl(0)), L"Procesando Archivo C-C3.RET");
    EXPECT_EQ(::SendMessageW(form.pbMain(), PBM_GETPOS, 0, 0), 75);
    EXPECT_EQ(ListItems(form.lst()), L"C10073LAPI000001A.RET;C10073LAPI000002B.RET;C3.RET;C4.RET;");
    EXPECT_FALSE(::IsWindowVisible(form.handle()));
}

}  // namespace
}  // namespace tolvane::ui::win32
