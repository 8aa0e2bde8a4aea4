#include "support/ScriptedWindow.h"

#include <algorithm>

#include "common/Failure.h"

namespace tolvane::test {

bool ScriptedWindow::iconShown() const {
    return !iconMessages.empty() && iconMessages.back() == ui::kNimAdd;
}

std::string ScriptedWindow::Boxes() const {
    std::string shown;
    for (const auto& box : boxes)
        shown += std::to_string(box.style) + ":" + box.text + ";";
    return shown;
}

void ScriptedWindow::NotifyIcon(std::uint32_t message, const ui::NotifyIconData& data) {
    iconMessages.push_back(message);
    lastIcon = data;
}

void ScriptedWindow::SetTimer(unsigned intervalMs, bool enabled) {
    timerInterval = intervalMs;
    timerEnabled = enabled;
}

void ScriptedWindow::DoEvents() {
    ++yields;
    if (onDoEvents)
        onDoEvents();
}

int ScriptedWindow::MessageBox(const std::string& text, int style) {
    boxes.push_back({text, style});
    if (answer)
        return answer(boxes.back());
    return (style & 0x0F) == ui::kMbYesNo ? ui::kIdNo : ui::kIdOk;
}

void ScriptedWindow::ReportUntrappedFailure(const Failure& failure) {
    failureReports.push_back(std::to_string(failure.number()) + " " + failure.description());
}

}  // namespace tolvane::test
