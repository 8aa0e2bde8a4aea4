#include "ui/headless/HeadlessWindow.h"

#include <algorithm>
#include <cerrno>
#include <istream>
#include <ostream>
#include <string>
#include <utility>

#include "common/Failure.h"
#include "common/Stop.h"
#include "common/Text.h"

namespace tolvane::ui {
namespace {

// A line of the terminal without its end: a Windows console ends it with CR LF.
std::string WithoutCarriageReturn(std::string line) {
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

}  // namespace

HeadlessWindow::HeadlessWindow(std::ostream& messages, std::istream& answers, bool interactive,
                               platform::WaitHandle answersFd)
    : messages_(messages), answers_(answers), interactive_(interactive), answersFd_(answersFd) {}

std::uintptr_t HeadlessWindow::WindowHandle() {
    created_ = true;
    return 1;
}

void HeadlessWindow::NotifyIcon(std::uint32_t message, const NotifyIconData&) {
    if (message == kNimAdd)
        iconShown_ = true;
    if (message == kNimDelete)
        iconShown_ = false;
}

void HeadlessWindow::SetLabel(int index, const std::string& text) {
    labels_[index == 0 ? 0 : 1] = text;
}

void HeadlessWindow::SetTimer(unsigned intervalMs, bool enabled) {
    interval_ = intervalMs;
    enabled_ = enabled;
    deadline_ = Clock::now() + std::chrono::milliseconds(intervalMs);
}

void HeadlessWindow::WriteBlock(const std::string& text) {
    messages_ << "Tolvane: " << text::ReplaceAll(text, "\r\n", "\n") << '\n';
    messages_.flush();
}

int HeadlessWindow::MessageBox(const std::string& text, int style) {
    if ((style & 0x0F) != kMbYesNo) {
        WriteBlock(text);
        return kIdOk;
    }
    // The question is one block, its answer on its last line: scripts count one block a box.
    messages_ << "Tolvane: " << text::ReplaceAll(text, "\r\n", "\n") << " [S/N] ";
    if (!interactive_) {
        messages_ << "N (sin terminal)\n";
        messages_.flush();
        return kIdNo;
    }
    for (;;) {
        messages_.flush();
        const std::optional<std::string> line = ReadAnswer();
        if (!line)
            return kIdNo;
        const std::string answer = text::ToLowerAscii(text::TrimBlanks(*line));
        if (answer == "s" || answer == "si" || answer == "sí" || answer == "y" || answer == "yes")
            return kIdYes;
        if (answer == "n" || answer == "no")
            return kIdNo;
        messages_ << "[S/N] ";
    }
}

std::optional<std::string> HeadlessWindow::ReadAnswer() {
    if (stopFd_ < 0) {
        std::string line;
        if (!std::getline(answers_, line))
            return std::nullopt;
        return WithoutCarriageReturn(std::move(line));
    }
    // Read here rather than through the stream, whose buffer the wait could not see.
    for (;;) {
        const std::size_t end = typed_.find('\n');
        if (end != std::string::npos) {
            std::string line = typed_.substr(0, end);
            typed_.erase(0, end + 1);
            return WithoutCarriageReturn(std::move(line));
        }
        const int ready = platform::WaitForAny({answersFd_, stopFd_}, -1);
        if (ready < 0)
            continue;
        if (ready == 1) {
            messages_ << "\n";
            messages_.flush();
            throw Interrupted();
        }
        char buffer[256];
        const std::int64_t got = platform::ReadReady(answersFd_, buffer, sizeof buffer);
        if (got <= 0)
            return std::nullopt;
        typed_.append(buffer, static_cast<std::size_t>(got));
    }
}

void HeadlessWindow::ReportUntrappedFailure(const Failure& failure) {
    WriteBlock("Error en tiempo de ejecución " + std::to_string(failure.number()) + ":\r\n" +
               failure.description());
}

void HeadlessWindow::RunLoop(platform::WaitHandle wake, const std::function<void()>& onTick) {
    for (;;) {
        int timeout = -1;
        if (enabled_ && interval_ > 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
            timeout = static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
        }
        if (platform::WaitForAny({wake}, timeout) == 0)
            return;
        if (enabled_ && interval_ > 0 && Clock::now() >= deadline_) {
            // A periodic timer: the next period starts now unless the tick restarts it.
            deadline_ = Clock::now() + std::chrono::milliseconds(interval_);
            onTick();
        }
    }
}

}  // namespace tolvane::ui
