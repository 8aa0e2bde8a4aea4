#include "ui/win32/MessageBoxes.h"

#include <gtest/gtest.h>

#include <thread>

#include "ui/Window.h"
#include "ui/win32/Clerk.h"

namespace tolvane::ui::win32 {
namespace {

// Answers the first box of this process with `button` and gives its caption and text.
std::wstring AnswerBox(int button) {
    const HWND box = test::WaitForWindow(L"#32770");
    if (box == nullptr)
        return L"(no box)";
    wchar_t text[256] = {};
    ::GetDlgItemTextW(box, 0xFFFF, text, 256);  // the box's static text
    const std::wstring shown = test::WindowText(box) + L": " + text;
    ::PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
    return shown;
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
