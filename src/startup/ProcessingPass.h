#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dispatch/XmlCompleteness.h"
#include "startup/KitWatch.h"

namespace tolvane {
struct Context;
class Clock;
class Failure;
}  // namespace tolvane
namespace tolvane::ui {
class FileList;
class Window;
}  // namespace tolvane::ui
namespace tolvane::components {
class Disk;
}

namespace tolvane::startup {

class ActivityLog;
class Timer;

// The processing pass `Procesar` over the pending cover sheets of the watched folder, and what
// it remembers from one pass to the next: how long each dispatch has been still, and which
// lone items files it has reported.
class ProcessingPass {
  public:
    ProcessingPass(Context& context, ui::Window& window, ui::FileList& lst, Timer& timer,
                   Clock& clock);

    // One pass. Its first failure ends it with one message box; the timer is off for the whole
    // pass.
    void Procesar();

    // Asked before each dispatch: true stops the pass there, between dispatches, so that no
    // dispatch is left half moved.
    void setStopRequested(std::function<bool()> stopRequested) {
        stopRequested_ = std::move(stopRequested);
    }
    const std::function<bool()>& stopRequested() const { return stopRequested_; }

    // How many failure messages the passes have shown (notices not counted).
    int failuresReported() const { return failuresReported_; }

    // Where the pass tells what it did; none by default.
    void setActivityLog(ActivityLog* log) { log_ = log; }

  private:
    bool StopRequested() const { return stopRequested_ && stopRequested_(); }
    // Finishes or reports the items files left without their cover sheet; false when a stop
    // was requested meanwhile.
    bool HandleLoneItems(const std::vector<std::string>& lone, std::chrono::milliseconds quiet);
    // An items file untouched for a while, whose cover sheet no pass has seen meanwhile.
    bool LongAlone(const std::string& itemsName, const platform::FileState& items);
    // Rewrites, sends and backs up one dispatch whose files were seen still as `seen`; true
    // when its kit files have left the folder.
    bool TakeDispatch(const std::string& name, const KitPairState& seen);
    // Whether both files of a dispatch seen still are whole XML documents, or have stayed as
    // they are for so long that the kit is surely done with them. Throws (for this dispatch
    // alone) when an items file stays cut short or malformed.
    bool WrittenToTheEnd(const std::string& folder, const std::string& name,
                         const KitWatch::Outcome& watch, std::chrono::milliseconds quiet);
    // A dispatch set aside is skipped while its files stay as they were when it failed.
    bool StillSetAside(const std::string& folder, const std::string& name);
    void SetAside(const std::string& folder, const std::string& name, const Failure& failure);
    // A failure of this pass: logged; the first of the pass shown in a box.
    void Report(const Failure& failure, const std::string& event);
    // Counts a failing pass, or tells that a fault is over.
    void EndPass();
    void Log(const std::string& event);

    Context& context_;
    ui::Window& window_;
    ui::FileList& lst_;
    Timer& timer_;
    Clock& clock_;
    KitWatch kitWatch_;
    int failuresReported_ = 0;
    bool failedThisPass_ = false;
    int failingPasses_ = 0;  // in a row, up to the last pass
    ActivityLog* log_ = nullptr;
    std::map<std::string, KitPairState> setAside_;  // as their files were when they failed
    std::function<bool()> stopRequested_;
    std::set<std::string> loneReported_;                 // lone items files already reported
    std::map<std::string, Clock::TimePoint> coverSeen_;  // items file → when its cover was listed
    // Dispatches found not yet whole, as their files were then: checked again once they change.
    struct UnfinishedDispatch {
        KitPairState state;
        dispatch::XmlCompleteness items;
    };
    std::map<std::string, UnfinishedDispatch> unfinished_;
};

// The dispatch part of a listed name as the progress label shows it: of its last 20
// characters, the first 16; a shorter name shows its first 16 characters.
std::string DispatchShown(const std::string& name);

}  // namespace tolvane::startup
