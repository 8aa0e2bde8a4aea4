#pragma once

// How frmLista reads the tray icon's events, and the texts of the window events that trap
// their failures. Front-ends feed the icon's events in as the platform delivers them: a
// mouse-move event whose x, in twips, carries the icon's own mouse message.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tolvane {
class Failure;
}

namespace tolvane::ui {

class Window;

// The icon's mouse messages, numbered as the platform numbers them.
inline constexpr std::uint32_t kWmLButtonDown = 513;
inline constexpr std::uint32_t kWmLButtonUp = 514;
inline constexpr std::uint32_t kWmRButtonDown = 516;
inline constexpr std::uint32_t kWmRButtonUp = 517;
inline constexpr std::uint32_t kWmMButtonDown = 519;
inline constexpr std::uint32_t kWmMButtonUp = 520;

inline constexpr double kTwipsPerInch = 1440;

// Twips per pixel on a screen of the given logical density: 15 at 96 dpi.
double TwipsPerPixel(double dotsPerInch);
// A length in twips as whole pixels on that screen.
int TwipsToPixels(double twips, double dotsPerInch);

// The mouse message carried by x: x / twipsPerPixelX, halves to the even neighbour. Fails as
// the platform's arithmetic does: division by zero (11), a result beyond 32 bits (6).
std::int32_t TrayMouseMessage(double xTwips, double twipsPerPixelX);

// "Error <number> (<description>) Function <procedure> de Formulario <form>" CR LF
// "Origen: <source> - Linea: <step>".
std::string TrappedEventMessage(const Failure& failure, std::string_view procedure,
                                std::string_view form, int step);

// Form_MouseMove of frmLista: only a left double click (515) opens the menu, through
// `popupMenu`. Any failure is trapped and shown in a box with an OK button, naming the step:
// 10 decoding, 20 the test, 51 showing the menu.
void Form_MouseMove(double x, double twipsPerPixelX, Window& window,
                    const std::function<void()>& popupMenu);

}  // namespace tolvane::ui
