#pragma once

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "config/Context.h"
#include "startup/KitWatch.h"
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

    // A tick of Timer1: the settings are reloaded, then one pass runs. Failures of the reload
    // are not trapped.
    void Timer1_Timer();

    // One processing pass over the pending cover sheets of the watched folder. Its first
    // failure ends it with one message box; the timer is off for the whole pass.
    void Procesar();

    // Asked before each dispatch of a pass: true stops the pass there, between dispatches,
    // so that no dispatch is left half moved.
    void setStopRequested(std::function<bool()> stopRequested) {
        stopRequested_ = std::move(stopRequested);
    }

    // The main window ends: the tray icon goes. A failure is trapped and shown in a box.
    void Form_Terminate();

    Context& context() { return context_; }
    ui::Window& window() { return window_; }
    ui::FileList& lst() { return lst_; }
    Timer& Timer1() { return timer_; }
    const ui::NotifyIconData& IconoBandeja() const { return iconoBandeja_; }

    // How many failure messages the processing passes have shown (notices not counted).
    int failuresReported() const { return failuresReported_; }

  private:
    void RegisterRunValue();
    void FillIconoBandeja();
    bool CheckFirstBackupFolder(components::Disk& disk);
    bool StopRequested() const { return stopRequested_ && stopRequested_(); }
    // Finishes or reports the items files left without their cover sheet; false when a stop
    // was requested meanwhile.
    bool HandleLoneItems(const std::vector<std::string>& lone, std::chrono::milliseconds quiet);
    // Rewrites, sends and backs up one dispatch whose files were seen still as `seen`.
    void TakeDispatch(const std::string& name, const KitPairState& seen);

    Context context_;
    ui::Window& window_;
    ui::FileList lst_;
    Timer timer_;
    ui::NotifyIconData iconoBandeja_{};
    bool iconAdded_ = false;
    int failuresReported_ = 0;
    std::function<bool()> stopRequested_;
    KitWatch kitWatch_;
    std::set<std::string> loneReported_;  // lone items files already reported
};

// The dispatch part of a listed name as the progress label shows it: of its last 20
// characters, the first 16; a shorter name shows its first 16 characters.
std::string DispatchShown(const std::string& name);

}  // namespace tolvane::startup
