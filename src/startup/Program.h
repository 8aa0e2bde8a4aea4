#pragma once

#include <string>

#include "common/Context.h"
#include "ui/FileList.h"
#include "ui/Window.h"

namespace tolvane::platform {
class Platform;
}
namespace tolvane::components {
class ComponentFactory;
class Disk;
}  // namespace tolvane::components

namespace tolvane::startup {

inline constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunValue = "BRENMOOR_TOLVANE";

enum class StartupOutcome {
    PreviousInstance,  // another instance runs: ended silently
    Cancelled,         // the user refused to retry the first backup folder
    Idle,              // resident, but the timer was never enabled
    Running,           // resident with the timer enabled
};

// The processing timer `Timer1`: a period of 0 to 65 535 ms; it does not fire before it is
// enabled, and every enabling starts a new full period.
class Timer {
  public:
    explicit Timer(ui::Window& window) : window_(window) {}
    // Fails with "invalid property value" (380) outside 0..65 535.
    void setInterval(double milliseconds);
    void setEnabled(bool enabled);
    unsigned interval() const { return interval_; }
    bool enabled() const { return enabled_; }

  private:
    ui::Window& window_;
    unsigned interval_ = 0;
    bool enabled_ = false;
};

// The tray tip: "Tolvane version 1.8.40 Generado 28-06-2010 - " + the first backup folder.
std::string TipText(const std::string& firstBackupFolder);
// The tip as the record's fixed 64-character single-byte field: cut, or filled with blanks.
std::array<char, 64> TipField(const std::string& tip);

// The program as the platform runs it: the entry procedure, the main window's timer and file
// list, and the tray icon's record.
class Program {
  public:
    Program(platform::Platform& os, components::ComponentFactory& factory, ui::Window& window);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Start-up: single instance, Run value, settings, tray icon, file list, timer period and
    // backup folders; failures are not trapped.
    StartupOutcome Main();

    // A tick of Timer1. Failures are not trapped.
    void Timer1_Timer();

    // The main window ends: the tray icon goes.
    void Form_Terminate();

    Context& context() { return context_; }
    ui::Window& window() { return window_; }
    ui::FileList& lst() { return lst_; }
    Timer& Timer1() { return timer_; }
    const ui::NotifyIconData& IconoBandeja() const { return iconoBandeja_; }

    // How many failure messages the processing passes have shown.
    int failuresReported() const { return failuresReported_; }

  private:
    void RegisterRunValue();
    void FillIconoBandeja();
    bool CheckFirstBackupFolder(components::Disk& disk);

    Context context_;
    ui::Window& window_;
    ui::FileList lst_;
    Timer timer_;
    ui::NotifyIconData iconoBandeja_{};
    bool iconAdded_ = false;
    int failuresReported_ = 0;
};

}  // namespace tolvane::startup
