// The Windows front-end driven as a clerk drives it, from a thread of its own that waits for the
// program's windows and posts them the clerk's keys while the test's thread runs the loops.

#include "ui/win32/Win32Window.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <atomic>
#include <chrono>
#include <thread>

#include "common/Failure.h"
#include "common/Stop.h"
#include "components/ComponentFactory.h"
#include "components/Disk.h"
#include "platform/win32/Wide.h"
#include "support/ProgramRig.h"
#include "ui/FormLayout.h"
#include "ui/TrayEvents.h"
#include "ui/win32/Resources.h"

namespace tolvane::ui::win32 {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The first visible top-level window of this process of `windowClass` (and `title`, unless
// null), waited for up to `limit`; null when none showed.
HWND WaitForWindow(const wchar_t* windowClass, const wchar_t* title = nullptr,
                   std::chrono::milliseconds limit = 5s) {
    const auto deadline = Clock::now() + limit;
    do {
        HWND window = nullptr;
        while ((window = ::FindWindowExW(nullptr, window, windowClass, title)) != nullptr) {
            DWORD process = 0;
            ::GetWindowThreadProcessId(window, &process);
            if (process == ::GetCurrentProcessId() && ::IsWindowVisible(window))
                return window;
        }
        std::this_thread::sleep_for(10ms);
    } while (Clock::now() < deadline);
    return nullptr;
}

std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, 512);
    return text;
}

// A key pressed in `window`, as the system posts it.
void PressKey(HWND window, WPARAM key, bool alt = false) {
    const LPARAM context = alt ? (1 << 29) : 0;
    ::PostMessageW(window, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, context | 1);
    ::PostMessageW(window, alt ? WM_SYSKEYUP : WM_KEYUP, key,
                   context | 1 | static_cast<LPARAM>(3u << 30));
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

// Boxes show the program's caption and the text, and give the button pressed; the menu opens over
// one. A stop closes the box that is open, whoever waits on it, and no box opens after it.
TEST_F(Win32WindowTest, BoxesGiveTheButtonPressedAndAStopClosesTheOpenOneAndRefusesTheNext) {
    const HWND frmLista = window.frmLista().handle();
    window.WatchStop(reinterpret_cast<platform::WaitHandle>(stop));
    // Style, button pressed (none: a stop is requested instead), what the call gives.
    const std::tuple<int, WPARAM, int> cases[] = {
        {kMbYesNo | kMbIconExclamation, IDYES, kIdYes},
        {kMbOk | kMbIconStop, IDOK, kIdOk},
        {kMbYesNo, IDNO, kIdNo},
        {kMbYesNo, 0, -1},
    };
    for (const auto& [style, button, answer] : cases) {
        std::wstring shown;
        std::thread clerk([&, button = button] {
            const HWND box = WaitForWindow(L"#32770");
            shown = WindowText(box) + L": " + WindowText(::GetDlgItem(box, 0xFFFF));  // its text
            if (button == IDNO) {  // first Abrir in the menu
                ::PostMessageW(window.tray().handle(), WM_MOUSEMOVE, 0, WM_LBUTTONDBLCLK);
                if (const HWND menu = WaitForWindow(L"#32768")) {
                    PressKey(menu, VK_DOWN);
                    PressKey(menu, VK_RETURN);
                }
                for (int i = 0; i < 500 && !::IsWindowVisible(frmLista); ++i)
                    std::this_thread::sleep_for(10ms);
            }
            button != 0 ? ::PostMessageW(box, WM_COMMAND, button, 0) : ::SetEvent(stop);
        });
        const auto start = Clock::now();
        int given = -1;
        try {
            given = window.MessageBox("¿Reintentar la carpeta ñ?", style);
        } catch (const Interrupted&) {
        }
        clerk.join();
        EXPECT_EQ(given, answer) << style;
        EXPECT_EQ(shown, L"Tolvane: \u00BFReintentar la carpeta \u00F1?");
        if (button == IDNO) {
            EXPECT_TRUE(::IsWindowVisible(frmLista));
            PressKey(window.frmLista().lst(), VK_ESCAPE);
            window.DoEvents();
            EXPECT_FALSE(::IsWindowVisible(frmLista));
        }
        EXPECT_LT(Clock::now() - start, 2s);
    }
    EXPECT_THROW(window.MessageBox("otra", kMbOk), Interrupted);
}

// Only a left double click on the icon opens the menu; its entries open and hide the window.
TEST_F(Win32WindowTest, TheIconsDoubleClickOpensTheMenuWhoseEntriesShowAndHideTheWindow) {
    const HWND frmLista = window.frmLista().handle();
    // The icon's mouse message, the entry chosen (downward steps) if a menu opens, whether
    // the window is then in view.
    const std::tuple<LPARAM, int, bool> cases[] = {
        {WM_LBUTTONDOWN, 0, false},   {WM_LBUTTONUP, 0, false},  {WM_RBUTTONUP, 0, false},
        {WM_LBUTTONDBLCLK, 1, true},  {WM_RBUTTONDOWN, 0, true}, {WM_MOUSEMOVE, 0, true},
        {WM_LBUTTONDBLCLK, 3, false},
    };
    // Ticks wait while the menu is open: a pass's yields would take its clicks.
    std::atomic<int> ticks = 0;
    window.setTimerHandler([&] { ++ticks; });
    window.SetTimer(10, true);
    for (const auto& [event, entry, visible] : cases) {
        std::atomic<bool> clerkDone = false;
        std::thread clerk([&, event = event, entry = entry] {
            ::PostMessageW(window.tray().handle(), WM_MOUSEMOVE, 0, event);
            const HWND menu = WaitForWindow(L"#32768", nullptr, entry > 0 ? 5s : 300ms);
            EXPECT_EQ(menu != nullptr, entry > 0) << event;
            if (menu != nullptr) {
                const int before = ticks;
                std::this_thread::sleep_for(100ms);
                EXPECT_EQ(ticks, before) << "a tick ran inside the menu";
                for (int step = 0; step < entry; ++step)
                    PressKey(menu, VK_DOWN);
                PressKey(menu, VK_RETURN);
            }
            clerkDone = true;
        });
        while (!clerkDone) {
            window.DoEvents();
            std::this_thread::sleep_for(5ms);
        }
        clerk.join();
        window.DoEvents();  // the entry chosen
        EXPECT_EQ(::IsWindowVisible(frmLista) != FALSE, visible) << event;
    }
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
    const auto expectAt = [&](HWND control, const layout::TwipsRect& twips, double left,
                              double top) {
        RECT rect{};
        ::GetWindowRect(control, &rect);
        ::MapWindowPoints(nullptr, form.handle(), reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(std::tuple(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top),
                  std::tuple(pixels(left + twips.left), pixels(top + twips.top),
                             pixels(twips.width), pixels(twips.height)));
    };
    expectAt(form.lst(), layout::kLst, 0, 0);
    expectAt(form.lbl(0), layout::kLblFile, layout::kFr.left, layout::kFr.top);
    expectAt(form.lbl(1), layout::kLblNotice, layout::kFr.left, layout::kFr.top);
    expectAt(form.pbMain(), layout::kPbMain, layout::kFr.left, layout::kFr.top);
    // The labels above the bar end before it: one drawn over it hides it in a pass.
    RECT notice{}, bar{};
    ::GetWindowRect(form.lbl(1), &notice);
    ::GetWindowRect(form.pbMain(), &bar);
    EXPECT_LE(notice.bottom, bar.top);
}

// A program on its home, wired to the window as the executable wires them.
class Win32ProgramTest : public ::testing::Test,
                         protected test::ProgramRig<test::TolvaneHome, Win32Window> {
  protected:
    Win32ProgramTest() { window.setSettingsContext(program.context()); }

    // The clerk types a server in the settings window and presses `key` (0: the close box) with
    // `heldKey` down; what the window's first field showed.
    std::wstring TypeServerAndPress(WPARAM key, bool alt, BYTE heldKey) {
        BYTE keys[256] = {};
        if (heldKey != 0)
            keys[heldKey] = 0x80;
        ::SetKeyboardState(keys);  // what this thread reads as held while the window runs
        std::wstring shown;
        std::thread clerk([&] {
            const HWND dialog = WaitForWindow(L"#32770", L"Configuracion TOLVANE");
            if (dialog == nullptr)
                return;
            shown = WindowText(::GetDlgItem(dialog, IDC_TXT_RUTA));
            dialogIcons = ::SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0) != 0 &&
                          ::SendMessageW(dialog, WM_GETICON, ICON_BIG, 0) != 0;
            ::SendMessageW(::GetDlgItem(dialog, IDC_TXT_SERVIDOR), WM_SETTEXT, 0,
                           reinterpret_cast<LPARAM>(L"ftp.ñandú"));
            std::this_thread::sleep_for(200ms);  // Timer1's turn
            if (key != 0)
                PressKey(::GetDlgItem(dialog, IDC_TXT_SERVIDOR), key, alt);
            else
                ::PostMessageW(dialog, WM_CLOSE, 0, 0);
            // A key that failed to close the window is told, and the window closed for it.
            for (int i = 0; i < 200 && ::IsWindowVisible(dialog); ++i)
                std::this_thread::sleep_for(10ms);
            if (::IsWindowVisible(dialog)) {
                shown = L"(still open)";
                ::PostMessageW(dialog, WM_CLOSE, 0, 0);
            }
        });
        window.mnu_Configurar();
        clerk.join();
        BYTE none[256] = {};
        ::SetKeyboardState(none);
        return shown;
    }

    bool dialogIcons = false;  // the settings window showed the program's icon, both sizes
};

// Timer1 goes on while the settings window is open; the window has the program's icon.
TEST_F(Win32ProgramTest, F11WithAnyShiftStateSavesEverywhereAndEscOrTheCloseBoxSaveNothing) {
    int ticks = 0;
    window.setTimerHandler([&] { ++ticks; });
    window.SetTimer(20, true);
    const std::string typed = "ftp.ñandú";
    // Key, with Alt, key held down, what memory, the per-user store and Config.ini hold after.
    const std::tuple<WPARAM, bool, BYTE, std::string> cases[] = {
        {VK_ESCAPE, false, 0, "ftp.viejo|ftp.viejo|ftp.viejo"},
        {0, false, 0, "ftp.viejo|ftp.viejo|ftp.viejo"},
        {VK_F11, false, VK_SHIFT, typed + "|" + typed + "|" + typed},
        {VK_F11, true, 0, typed + "|" + typed + "|" + typed},
        {VK_F11, false, VK_CONTROL, typed + "|" + typed + "|" + typed},
    };
    for (const auto& [key, alt, held, after] : cases) {
        const int ticksBefore = ticks;
        EXPECT_EQ(TypeServerAndPress(key, alt, held), platform::win32::Widen(kit)) << key;
        EXPECT_EQ(
            program.context().settings.SERVIDOR + "|" +
                home.os().GetSetting("HISTORIAL", "FTP", "SERVIDOR", "<none>") + "|" +
                home.os().GetPrivateProfileString("Opciones", "SERVIDOR", "", home.ConfigIniPath()),
            after)
            << key << " alt " << alt << " held " << int{held};
        EXPECT_GT(ticks, ticksBefore) << "Timer1 stopped while the window was open";
        EXPECT_TRUE(dialogIcons);
        EXPECT_EQ(window.settingsWindow(), nullptr);
        // Opening loads every setting again: Config.ini is where the next case starts from.
        home.WriteConfigIni("[Opciones]\nSERVIDOR=ftp.viejo\n");
    }
}

// The local disk, but for one file that cannot be looked at: a failure of what every dispatch
// shares, which ends the pass there.
class DiskFailingOn final : public components::Disk {
  public:
    DiskFailingOn(platform::Platform& os, std::string name) : real_(os), name_(std::move(name)) {}
    bool ExisteCarpeta(const std::string& folder) override { return real_.ExisteCarpeta(folder); }
    bool ExisteArchivo(const std::string& path) override {
        if (path.ends_with(name_))
            throw Failure(75, "Pellam.Disk", "Error de acceso a la ruta o el archivo");
        return real_.ExisteArchivo(path);
    }
    void CopiarArchivo(const std::string& s, const std::string& d, bool o) override {
        real_.CopiarArchivo(s, d, o);
    }
    void EliminarArchivo(const std::string& p, bool f) override { real_.EliminarArchivo(p, f); }
    std::string getDirectorioProgramFiles() override { return real_.getDirectorioProgramFiles(); }

  private:
    components::LocalDisk real_;
    std::string name_;
};

// A pass shows its files, the file in progress and the progress in the window's controls
// while the window stays hidden; its failure's box opens once the pass is over.
TEST_F(Win32ProgramTest, APassWithTheWindowHiddenFillsItsControls) {
    program.context().settings.RutaKitOut = kit;
    for (const char* name : {"C10073LAPI000001A.RET", "C10073LAPI000002B.RET", "C3.RET"})
        test::WriteFile(kit + name, test::LapiCoverSheet(name));
    test::WriteFile(kit + "C4.RET", test::LapiCoverSheet("4"));
    home.factory().Register(
        components::kDisk, [this] { return std::make_unique<DiskFailingOn>(home.os(), "C3.RET"); });
    program.Procesar();
    EXPECT_TRUE(window.FailureShown());
    EXPECT_EQ(WaitForWindow(L"#32770", nullptr, 100ms), nullptr) << "a box inside the pass";

    const HANDLE stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::wstring box;
    std::thread clerk([&] {
        if (const HWND shown = WaitForWindow(L"#32770")) {
            box = WindowText(shown);
            ::PostMessageW(shown, WM_COMMAND, IDOK, 0);
        }
        ::SetEvent(stop);
    });
    window.RunLoop(reinterpret_cast<platform::WaitHandle>(stop), [] {});
    clerk.join();
    ::CloseHandle(stop);

    FrmLista& form = window.frmLista();
    EXPECT_EQ(box, L"Tolvane") << "the failure's box";
    EXPECT_EQ(WindowText(form.lbl(0)), L"Procesando Archivo C-C3.RET");
    EXPECT_EQ(::SendMessageW(form.pbMain(), PBM_GETPOS, 0, 0), 75);
    EXPECT_EQ(ListItems(form.lst()), L"C10073LAPI000001A.RET;C10073LAPI000002B.RET;C3.RET;C4.RET;");
    EXPECT_FALSE(::IsWindowVisible(form.handle()));
}

// Timer1 goes on while a failure's box is open: passes that fail too open no other box, the
// icon warns, and the first pass that ends well closes the box and gives the icon back.
TEST_F(Win32ProgramTest, AFailureBoxLetsTimer1GoOnAndClosesOnceAPassGoesWell) {
    fs::remove_all(kit);
    std::atomic<int> ticks = 0;
    bool warned = false;
    const HANDLE stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<HWND> boxes;
    int ticksWhileOpen = 0;
    bool closedByItself = false;
    std::thread clerk([&] {
        const HWND box = WaitForWindow(L"#32770");
        if (box != nullptr) {
            const int first = ticks;
            for (int i = 0; i < 300 && ticks < first + 3; ++i)
                std::this_thread::sleep_for(10ms);
            ticksWhileOpen = ticks - first;
            for (HWND other = nullptr;
                 (other = ::FindWindowExW(nullptr, other, L"#32770", nullptr)) != nullptr;) {
                if (::IsWindowVisible(other))
                    boxes.push_back(other);
            }
            fs::create_directories(kit);  // the kit's folder is back
            for (int i = 0; i < 300 && ::IsWindow(box) && ::IsWindowVisible(box); ++i)
                std::this_thread::sleep_for(10ms);
            closedByItself = !::IsWindowVisible(box);
        }
        ::SetEvent(stop);
    });
    program.Timer1().setInterval(20);
    program.Timer1().setEnabled(true);
    window.RunLoop(reinterpret_cast<platform::WaitHandle>(stop), [&] {
        ++ticks;
        program.Timer1_Timer();
        warned = warned || (window.FailureShown() && window.tray().icon() == window.warningIcon());
    });
    clerk.join();
    ::CloseHandle(stop);

    EXPECT_GE(ticksWhileOpen, 3);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(closedByItself && warned);
    EXPECT_EQ(window.tray().icon(), window.icon());
    EXPECT_GE(program.failuresReported(), 3);
}

}  // namespace
}  // namespace tolvane::ui::win32
