// The front-ends this build has, and the choice between them.

#include <cstdlib>
#include <iostream>

#include "app/FrontEnd.h"
#include "platform/StopSource.h"
#include "startup/Program.h"
#include "ui/headless/HeadlessWindow.h"

#ifdef _WIN32
#include "ui/win32/Win32Window.h"
#endif
#ifdef TOLVANE_WITH_QT
#include <QApplication>

#include "ui/qt/QtWindow.h"
#endif

namespace tolvane::app {
namespace {

// The windowed front-ends' wiring: from now on, start-up's boxes included, a stop closes
// whatever is open; the settings window edits the program's settings; the timer runs its ticks.
template <typename TrayWindow, typename StopHandle>
void AttachTrayWindow(TrayWindow& window, StopHandle stop, startup::Program& program) {
    window.WatchStop(stop);
    window.setSettingsContext(program.context());
    window.setTimerHandler([&program] { program.Timer1_Timer(); });
}

class HeadlessFrontEnd final : public FrontEnd {
  public:
    explicit HeadlessFrontEnd(platform::StopSource& stop)
        : stop_(stop),
          window_(std::cerr, std::cin, platform::IsTerminal(platform::StandardInput()),
                  platform::StandardInput()) {
        window_.setStopFd(stop.Handle());
    }
    ui::Window& window() override { return window_; }
    void Attach(startup::Program&) override {}
    void RunLoop(const std::function<void()>& onTick) override {
        window_.RunLoop(stop_.Handle(), onTick);
    }

  private:
    platform::StopSource& stop_;
    ui::HeadlessWindow window_;
};

#ifdef _WIN32
class Win32FrontEnd final : public FrontEnd {
  public:
    explicit Win32FrontEnd(platform::StopSource& stop) : stop_(stop) {}
    ui::Window& window() override { return window_; }
    void Attach(startup::Program& program) override {
        AttachTrayWindow(window_, stop_.Handle(), program);
    }
    void RunLoop(const std::function<void()>& onTick) override {
        window_.RunLoop(stop_.Handle(), onTick);
    }

  private:
    platform::StopSource& stop_;
    ui::win32::Win32Window window_;
};
#endif

#ifdef TOLVANE_WITH_QT
// The windowed front-end needs somewhere to show its windows.
bool DisplayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return true;
    }
    return false;
}

class QtFrontEnd final : public FrontEnd {
  public:
    QtFrontEnd(int& argc, char** argv, platform::StopSource& stop)
        : stop_(stop), application_(argc, argv) {}
    ui::Window& window() override { return window_; }
    void Attach(startup::Program& program) override {
        AttachTrayWindow(window_, StopDescriptor(), program);
    }
    void RunLoop(const std::function<void()>& onTick) override {
        window_.RunLoop(StopDescriptor(), onTick);
    }

  private:
    // Qt's own loop watches the stop request as a descriptor (Qt builds are POSIX only).
    int StopDescriptor() const { return static_cast<int>(stop_.Handle()); }

    platform::StopSource& stop_;
    QApplication application_;  // before any widget
    ui::qt::QtWindow window_;
};
#endif

}  // namespace

std::unique_ptr<FrontEnd> CreateFrontEnd(bool headless, int& argc, char** argv,
                                         platform::StopSource& stop) {
#ifdef _WIN32
    if (!headless)
        return std::make_unique<Win32FrontEnd>(stop);
#endif
#ifdef TOLVANE_WITH_QT
    if (!headless && DisplayAvailable())
        return std::make_unique<QtFrontEnd>(argc, argv, stop);
#else
    static_cast<void>(headless);
    static_cast<void>(argc);
    static_cast<void>(argv);
#endif
    return std::make_unique<HeadlessFrontEnd>(stop);
}

}  // namespace tolvane::app
