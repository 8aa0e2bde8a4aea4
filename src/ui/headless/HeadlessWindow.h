#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "platform/Wait.h"
#include "ui/Window.h"

namespace tolvane::ui {

// The main window without a display: message boxes go to a stream as "Tolvane: " blocks, a
// Yes/No question is asked on the terminal when there is one (answered No otherwise), and the
// timer runs in the program's own loop.
class HeadlessWindow final : public Window {
  public:
    // `answers` is read for Yes/No questions only when `interactive`; `answersFd` is the file
    // it reads, watched together with the stop request while a question waits.
    HeadlessWindow(std::ostream& messages, std::istream& answers, bool interactive,
                   platform::WaitHandle answersFd = 0);

    // The stop request (ready when a stop was asked for): a question waiting for its answer
    // then gives up, throwing Interrupted.
    void setStopFd(platform::WaitHandle fd) { stopFd_ = fd; }

    std::uintptr_t WindowHandle() override;
    std::uintptr_t IconHandle() override { return 1; }
    void NotifyIcon(std::uint32_t message, const NotifyIconData& data) override;
    void SetLabel(int index, const std::string& text) override;
    void SetProgress(float value) override { progress_ = value; }
    void ShowFileList(const std::vector<std::string>& names) override { files_ = names; }
    void SetTimer(unsigned intervalMs, bool enabled) override;
    void DoEvents() override {}
    int MessageBox(const std::string& text, int style) override;
    void ReportUntrappedFailure(const Failure& failure) override;

    // Runs ticks while the timer is enabled until `wake` (the stop request) is ready. A tick in
    // progress always finishes first.
    void RunLoop(platform::WaitHandle wake, const std::function<void()>& onTick);

    bool iconShown() const { return iconShown_; }
    const std::string& label(int index) const { return labels_[index == 0 ? 0 : 1]; }
    float progress() const { return progress_; }
    const std::vector<std::string>& files() const { return files_; }
    unsigned timerInterval() const { return interval_; }
    bool timerEnabled() const { return enabled_; }

  private:
    using Clock = std::chrono::steady_clock;

    void WriteBlock(const std::string& text);
    // The next line typed; nothing at the end of input. Throws Interrupted when the stop
    // request comes first.
    std::optional<std::string> ReadAnswer();

    std::ostream& messages_;
    std::istream& answers_;
    bool interactive_;
    platform::WaitHandle answersFd_;
    platform::WaitHandle stopFd_ = platform::kNoWaitHandle;
    std::string typed_;  // read from answersFd_, not yet a whole line
    bool created_ = false;
    bool iconShown_ = false;
    std::string labels_[2] = {"...", "..."};
    float progress_ = 0;
    std::vector<std::string> files_;
    unsigned interval_ = 0;
    bool enabled_ = false;
    Clock::time_point deadline_{};
};

}  // namespace tolvane::ui
