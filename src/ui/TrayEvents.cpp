#include "ui/TrayEvents.h"

#include <cmath>
#include <limits>

#include "common/Failure.h"
#include "common/Numbers.h"
#include "ui/Window.h"

namespace tolvane::ui {
namespace {}  // namespace

double TwipsPerPixel(double dotsPerInch) {
    return kTwipsPerInch / dotsPerInch;
}

int TwipsToPixels(double twips, double dotsPerInch) {
    return static_cast<int>(std::lround(twips * dotsPerInch / kTwipsPerInch));
}

std::int32_t TrayMouseMessage(double xTwips, double twipsPerPixelX) {
    if (twipsPerPixelX == 0)
        throw Failure(failure_number::kDivisionByZero, "Tolvane", "División por cero");
    const double message = RoundHalfEven(xTwips / twipsPerPixelX);
    if (!(message >= std::numeric_limits<std::int32_t>::min() &&
          message <= std::numeric_limits<std::int32_t>::max())) {
        throw Failure(failure_number::kOverflow, "Tolvane", "Desbordamiento");
    }
    return static_cast<std::int32_t>(message);
}

std::string TrappedEventMessage(const Failure& failure, std::string_view procedure,
                                std::string_view form, int step) {
    std::string text =
        "Error " + std::to_string(failure.number()) + " (" + failure.description() + ") Function ";
    text.append(procedure).append(" de Formulario ").append(form);
    return text + "\r\nOrigen: " + failure.source() + " - Linea: " + std::to_string(step);
}

void Form_MouseMove(double x, double twipsPerPixelX, Window& window,
                    const std::function<void()>& popupMenu) {
    int step = 10;
    try {
        const std::int32_t message = TrayMouseMessage(x, twipsPerPixelX);
        step = 20;
        if (message == static_cast<std::int32_t>(kWmLButtonDblClk)) {
            step = 51;
            popupMenu();
        }
    } catch (...) {
        window.MessageBox(TrappedEventMessage(CurrentFailure(), "Form_MouseMove", "frmMain", step),
                          kMbOk);
    }
}

}  // namespace tolvane::ui
