#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/Window.h"

namespace tolvane::test {

// A window that records what the core shows and answers message boxes from a script.
class ScriptedWindow : public ui::Window {
  public:
    struct Box {
        std::string text;
        int style;
    };

    // Answers a box; by default OK boxes give OK and questions give No.
    std::function<int(const Box&)> answer;
    // Runs at every yield, to act while the core waits.
    std::function<void()> onDoEvents = [] {};
    // Runs before every icon message is taken, to refuse one by throwing.
    std::function<void(std::uint32_t)> onNotifyIcon = [](std::uint32_t) {};

    std::vector<Box> boxes;
    std::vector<std::uint32_t> iconMessages;  // kNimAdd / kNimDelete, in order
    ui::NotifyIconData lastIcon{};
    std::string labels[2] = {"...", "..."};
    std::vector<float> progressValues;
    std::vector<std::string> files;
    unsigned timerInterval = 0;
    bool timerEnabled = false;

    bool iconShown() const { return !iconMessages.empty() && iconMessages.back() == ui::kNimAdd; }
    // Every box shown, as "<style>:<text>;".
    std::string Boxes() const {
        std::string shown;
        for (const auto& box : boxes)
            shown += std::to_string(box.style) + ":" + box.text + ";";
        return shown;
    }

    std::uintptr_t WindowHandle() override { return 0x1234; }
    std::uintptr_t IconHandle() override { return 0x5678; }
    void NotifyIcon(std::uint32_t message, const ui::NotifyIconData& data) override {
        onNotifyIcon(message);
        iconMessages.push_back(message);
        lastIcon = data;
    }
    void SetLabel(int index, const std::string& text) override { labels[index ? 1 : 0] = text; }
    void SetProgress(float value) override { progressValues.push_back(value); }
    void ShowFileList(const std::vector<std::string>& names) override { files = names; }
    void SetTimer(unsigned intervalMs, bool enabled) override {
        timerInterval = intervalMs;
        timerEnabled = enabled;
    }
    void DoEvents() override { onDoEvents(); }
    int MessageBox(const std::string& text, int style) override {
        boxes.push_back({text, style});
        if (answer)
            return answer(boxes.back());
        return (style & 0x0F) == ui::kMbYesNo ? ui::kIdNo : ui::kIdOk;
    }
    // Only the executable's entry point and the Qt loop report one, never the core.
    void ReportUntrappedFailure(const Failure&) override {}

    // Failure boxes are boxes; with `failureStaysOpen` one stays open until closed.
    bool failureStaysOpen = false;
    bool failureOpen = false;
    std::vector<bool> warningIcon;  // every change asked for, in order
    void ShowFailure(const std::string& text) override {
        MessageBox(text, ui::kMbOk | ui::kMbIconExclamation);
        failureOpen = failureStaysOpen;
    }
    bool FailureShown() override { return failureOpen; }
    void CloseFailure() override { failureOpen = false; }
    void ShowWarningIcon(bool warning) override { warningIcon.push_back(warning); }
};

}  // namespace tolvane::test
