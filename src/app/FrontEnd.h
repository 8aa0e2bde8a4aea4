#pragma once

#include <functional>
#include <memory>

#include "ui/Window.h"

namespace tolvane::startup {
class Program;
}
namespace tolvane::platform {
class StopSource;
}

namespace tolvane::app {

// A front-end as the entry point drives it: its main window, its wiring to the program, and
// its event loop.
class FrontEnd {
  public:
    virtual ~FrontEnd() = default;

    virtual ui::Window& window() = 0;
    // Wires the front-end to the program before start-up runs.
    virtual void Attach(startup::Program& program) = 0;
    // Runs the ticks (and, with windows, the events) until a stop is requested.
    virtual void RunLoop(const std::function<void()>& onTick) = 0;
};

// The front-end for this run: the windowed one of the platform when there is a display and
// `headless` is false, otherwise the headless one. Chosen here and nowhere else.
std::unique_ptr<FrontEnd> CreateFrontEnd(bool headless, int& argc, char** argv,
                                         platform::StopSource& stop);

}  // namespace tolvane::app
