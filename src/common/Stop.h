#pragma once

#include <exception>
#include <functional>

namespace tolvane {

// Whether the program has been asked to stop (a signal, the end of the session), for code that
// waits on a server and must give up at once. The entry point sets the check before any other
// thread starts; until then nothing counts as a stop.
void SetStopCheck(std::function<bool()> check);
bool StopRequested();

// Thrown where a wait on a server was cut short by a stop request. Not a failure: procedures
// pass it on unchanged, the pass ends without a message, and whatever was in hand stays whole
// for the next start.
class Interrupted : public std::exception {
  public:
    const char* what() const noexcept override { return "se pidió detener el programa"; }
};

}  // namespace tolvane
