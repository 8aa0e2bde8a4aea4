#pragma once

// The main window frmLista as the core drives it. The headless front-end and the Qt one both
// implement it, so the core never learns which one it talks to.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tolvane {
class Failure;
}

namespace tolvane::ui {

// Message box styles and answers, numbered as the platform numbers them.
inline constexpr int kMbOk = 0;
inline constexpr int kMbYesNo = 4;
inline constexpr int kMbIconStop = 16;
inline constexpr int kMbIconQuestion = 32;
inline constexpr int kMbIconExclamation = 48;
inline constexpr int kMbIconInformation = 64;
inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

inline constexpr std::uint32_t kNimAdd = 0;
inline constexpr std::uint32_t kNimDelete = 2;
inline constexpr std::uint32_t kWmMouseMove = 0x0200;
inline constexpr std::uint32_t kWmLButtonDblClk = 515;

// The tray icon's record, laid out as the platform's first NOTIFYICONDATA: six 32-bit fields
// and a 64-character single-byte tip.
struct NotifyIconData {
    std::uint32_t cbSize = 0;
    std::uintptr_t hWnd = 0;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    std::uintptr_t hIcon = 0;
    std::array<char, 64> szTip{};  // ISO-8859-1 bytes

    // The tip as the platform shows it, in UTF-8: the characters before the first NUL, 63 at
    // most.
    std::string ShownTip() const;
};

// Runs an event handler that traps nothing (a tick, a menu entry, a window's key) from an event
// loop: a stop's Interrupted ends it quietly, as the loop is ending anyway; any other failure
// goes to `untrapped`, since no failure may cross the loop.
void RunUntrapped(const std::function<void()>& handler,
                  const std::function<void(const Failure&)>& untrapped);

class Window {
  public:
    virtual ~Window() = default;

    // The first use creates the window, hidden.
    virtual std::uintptr_t WindowHandle() = 0;
    virtual std::uintptr_t IconHandle() = 0;

    // Shell_NotifyIcon: kNimAdd or kNimDelete with the record. The result is not looked at.
    virtual void NotifyIcon(std::uint32_t message, const NotifyIconData& data) = 0;

    virtual void SetLabel(int index, const std::string& text) = 0;
    virtual void SetProgress(float value) = 0;
    virtual void ShowFileList(const std::vector<std::string>& names) = 0;

    // Every call starts a new full period when `enabled`; ticks reach the program through the
    // front-end's own loop.
    virtual void SetTimer(unsigned intervalMs, bool enabled) = 0;

    // Lets pending window messages be handled.
    virtual void DoEvents() = 0;

    // Text (CR LF line breaks), buttons + icon; the caption is always the program's title.
    // Returns the answer (kIdOk, kIdYes, kIdNo).
    virtual int MessageBox(const std::string& text, int style) = 0;

    // The platform's report of an unhandled failure, shown before the program ends.
    virtual void ReportUntrappedFailure(const Failure& failure) = 0;

    // A failing pass's box (OK, exclamation). A tray front-end shows it without holding the
    // caller, so that the timer goes on while it is open; by default it is a MessageBox.
    virtual void ShowFailure(const std::string& text) {
        MessageBox(text, kMbOk | kMbIconExclamation);
    }
    // Whether a failure box is still open (shown and not yet answered).
    virtual bool FailureShown() { return false; }
    // Closes an open failure box, as if answered.
    virtual void CloseFailure() {}
    // The tray icon's warning variant, while the last pass ended in failure.
    virtual void ShowWarningIcon(bool warning) { static_cast<void>(warning); }
};

// The report of an unhandled failure in a box of `window`: "Error en tiempo de ejecución
// <number>:", a blank line, the description. When a stop closes the box (or refuses it), the
// report goes to standard error instead: the program ends either way.
void ShowUntrappedFailure(Window& window, const Failure& failure);

// What a windowed front-end does with a failure that no event handler traps: the window's
// report, then the end of the program with the untrapped failure's exit status.
[[noreturn]] void EndOnUntrappedFailure(Window& window, const Failure& failure);

}  // namespace tolvane::ui
