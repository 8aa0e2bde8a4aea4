#pragma once

#include <array>
#include <functional>
#include <string>
#include <utility>

#include "common/Clock.h"
#include "config/Context.h"
#include "startup/ProcessingPass.h"
#include "startup/Timer.h"
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

// The characters a tray tip shows, its terminator not counted.
inline constexpr std::size_t kTipCharacters = 63;

// The tray tip: "Tolvane version 1.8.40 Generado 28-06-2010 - " + the first backup folder, whose
// end ("...\\respaldo\\kit\\") stands for it when the whole would not fit.
std::string TipText(const std::string& firstBackupFolder);
// The tip as the record's fixed 64-character single-byte field: cut, or filled with blanks.
std::array<char, 64> TipField(const std::string& tip);

// The program as the platform runs it: the entry procedure, the main window's timer and file
// list, the tray icon's record and the processing pass that the timer runs.
class Program {
  public:
    Program(platform::Platform& os, components::ComponentFactory& factory, ui::Window& window,
            Clock& clock = SteadyClock());
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Start-up: single instance, Run value, settings, tray icon, file list, timer period and
    // backup folders; failures are not trapped.
    StartupOutcome Main();

    // A tick of Timer1: the settings are reloaded, then one pass runs. Failures of the reload
    // are not trapped.
    void Timer1_Timer();

    // One processing pass over the pending cover sheets of the watched folder.
    void Procesar() { pass_.Procesar(); }

    // Asked before each dispatch of a pass: true stops the pass there, between dispatches,
    // so that no dispatch is left half moved.
    void setStopRequested(std::function<bool()> stopRequested) {
        pass_.setStopRequested(std::move(stopRequested));
    }

    // Where start-up and the passes tell what they did; none by default.
    void setActivityLog(ActivityLog* log) {
        log_ = log;
        pass_.setActivityLog(log);
    }

    // The main window ends: the tray icon goes. A failure is trapped and shown in a box.
    void Form_Terminate();

    Context& context() { return context_; }
    ui::Window& window() { return window_; }
    ui::FileList& lst() { return lst_; }
    Timer& Timer1() { return timer_; }

    // Whether Main got past the single-instance check: this is the program's one instance.
    bool started() const { return started_; }

    // How many failure messages the processing passes have shown (notices not counted).
    int failuresReported() const { return pass_.failuresReported(); }

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
    bool started_ = false;
    ActivityLog* log_ = nullptr;
    ProcessingPass pass_;
};

}  // namespace tolvane::startup
