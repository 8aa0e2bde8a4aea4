#include "ui/win32/MessageBoxes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ui/Window.h"

namespace tolvane::ui::win32 {
namespace {

// Answers the first box of this process with `button`, from another thread as a clerk would,
// and gives its caption and text.
std::wstring AnswerBox(int button) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        HWND box = nullptr;
        while ((box = ::FindWindowExW(nullptr, box, L"#32770", nullptr)) != nullptr) {
            DWORD process = 0;
            ::GetWindowThreadProcessId(box, &process);
            if (process != ::GetCurrentProcessId())
                continue;
            wchar_t caption[64] = {}, text[256] = {};
            ::GetWindowTextW(box, caption, 64);
            ::GetDlgItemTextW(box, 0xFFFF, text, 256);  // the box's static text
            ::PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
            return std::wstring(caption) + L": " + text;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return L"(no box)";
}

TEST(MessageBoxesTest, AskAndTellWithTheProgramsCaptionAndGiveTheButtonPressed) {
    // Style, button pressed, what the call gives.
    const std::tuple<int, int, int> cases[] = {
        {kMbYesNo | kMbIconExclamation, IDNO, kIdNo},
        {kMbYesNo | kMbIconExclamation, IDYES, kIdYes},
        {kMbOk | kMbIconStop, IDOK, kIdOk},
    };
    for (const auto& [style, button, answer] : cases) {
        std::wstring shown;
        std::thread clerk([&] { shown = AnswerBox(button); });
        EXPECT_EQ(ShowMessageBox(nullptr, "¿Reintentar la carpeta ñ?", style), answer);
        clerk.join();
        EXPECT_EQ(shown, L"Tolvane: \u00BFReintentar la carpeta \u00F1?");
    }
}

}  // namespace
}  // namespace tolvane::ui::win32
