#include "startup/Timer.h"

#include "common/Failure.h"
#include "ui/Window.h"

namespace tolvane::startup {

namespace {
constexpr double kMaxInterval = 65535;
}

void Timer::setInterval(double milliseconds) {
    if (!(milliseconds >= 0 && milliseconds <= kMaxInterval)) {
        throw Failure(failure_number::kInvalidPropertyValue, "Timer1",
                      "Valor de propiedad no válido: el intervalo del temporizador debe estar "
                      "entre 0 y 65535 milisegundos");
    }
    interval_ = static_cast<unsigned>(milliseconds);
    window_.SetTimer(interval_, enabled_);
}

void Timer::setEnabled(bool enabled) {
    enabled_ = enabled;
    window_.SetTimer(interval_, enabled_);
}

}  // namespace tolvane::startup
