#include "ui/Window.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "common/ExitStatus.h"
#include "common/Failure.h"
#include "common/Stop.h"
#include "common/Text.h"

namespace tolvane::ui {

void RunUntrapped(const std::function<void()>& handler,
                  const std::function<void(const Failure&)>& untrapped) {
    try {
        handler();
    } catch (const Interrupted&) {
    } catch (...) {
        untrapped(CurrentFailure());
    }
}

void ShowUntrappedFailure(Window& window, const Failure& failure) {
    try {
        window.MessageBox("Error en tiempo de ejecución " + std::to_string(failure.number()) +
                              ":\r\n\r\n" + failure.description(),
                          kMbOk | kMbIconStop);
    } catch (const Interrupted&) {
        std::cerr << "Tolvane: Error en tiempo de ejecución " << failure.number() << ": "
                  << failure.description() << '\n';
    }
}

void EndOnUntrappedFailure(Window& window, const Failure& failure) {
    window.ReportUntrappedFailure(failure);
    std::fflush(nullptr);
    std::_Exit(exit_status::kUntrapped);
}

std::string NotifyIconData::ShownTip() const {
    std::string bytes;
    for (char c : szTip) {
        if (c == '\0' || bytes.size() == 63)
            break;
        bytes.push_back(c);
    }
    return text::Latin1ToUtf8(bytes);
}

}  // namespace tolvane::ui
