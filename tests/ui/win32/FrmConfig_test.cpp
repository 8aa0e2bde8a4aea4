#include "ui/win32/FrmConfig.h"

#include <gtest/gtest.h>

#include <thread>

#include "config/Context.h"
#include "platform/win32/Wide.h"
#include "support/ProgramRig.h"
#include "ui/win32/Clerk.h"
#include "ui/win32/Resources.h"
#include "ui/win32/Win32Window.h"

// The settings window as the clerk drives it: what it shows, which keys save, and that the
// program's timer goes on while it is open.

namespace tolvane::ui::win32 {
namespace {

class FrmConfigTest : public ::testing::Test,
                      protected test::ProgramRig<test::TolvaneHome, Win32Window> {
  protected:
    FrmConfigTest() { window.setSettingsContext(program.context()); }

    // Opens the window and, as the clerk, reads the first field, types a server and presses
    // the key; gives what the first field showed.
    std::wstring TypeServerAndPress(WPARAM key, bool alt, BYTE heldKey) {
        BYTE keys[256] = {};
        if (heldKey != 0)
            keys[heldKey] = 0x80;
        ::SetKeyboardState(keys);  // what this thread reads as held while the window runs
        std::wstring shown;
        std::thread clerk([&] {
            const HWND dialog = test::WaitForWindow(L"#32770", L"Configuracion TOLVANE");
            if (dialog == nullptr)
                return;
            shown = test::WindowText(::GetDlgItem(dialog, IDC_TXT_RUTA));
            ::SendMessageW(::GetDlgItem(dialog, IDC_TXT_SERVIDOR), WM_SETTEXT, 0,
                           reinterpret_cast<LPARAM>(L"ftp.ñandú"));
            std::this_thread::sleep_for(std::chrono::milliseconds(200));  // Timer1's turn
            if (key == VK_ESCAPE || key == VK_F11)
                test::PressKey(::GetDlgItem(dialog, IDC_TXT_SERVIDOR), key, alt);
            else
                ::PostMessageW(dialog, WM_CLOSE, 0, 0);  // the close box
            // A key that failed to close the window is told, and the window closed for it.
            for (int i = 0; i < 200 && ::IsWindowVisible(dialog); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
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

    // What memory, the per-user store and Config.ini hold.
    std::string Stored() {
        return program.context().settings.SERVIDOR + "|" +
               home.os().GetSetting("HISTORIAL", "FTP", "SERVIDOR", "<none>") + "|" +
               home.os().GetPrivateProfileString("Opciones", "SERVIDOR", "", home.ConfigIniPath());
    }
};

TEST_F(FrmConfigTest, F11WithAnyShiftStateSavesEverywhereAndEscOrTheCloseBoxSaveNothing) {
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
        EXPECT_EQ(Stored(), after) << key << " alt " << alt << " held " << int{held};
        EXPECT_GT(ticks, ticksBefore) << "Timer1 stopped while the window was open";
        EXPECT_EQ(window.settingsWindow(), nullptr);
        // Opening loads every setting again: Config.ini is where the next case starts from.
        home.WriteConfigIni("[Opciones]\nSERVIDOR=ftp.viejo\n");
    }
}

}  // namespace
}  // namespace tolvane::ui::win32
