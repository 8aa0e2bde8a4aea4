#pragma once

// Windows laid out in twips, as their tables give them, on the screen's real density.

#include <QFont>
#include <QRect>

#include "ui/FormLayout.h"

class QWidget;

namespace tolvane::ui::qt {

// The logical density of the screen the windows open on (96 when there is none).
double ScreenDpi();

// A rectangle given in twips, in pixels at the screen's density.
QRect TwipsRect(double left, double top, double width, double height);
QRect TwipsRect(const layout::TwipsRect& rect);
int Twips(double twips);

// The platform's form font: 8 points of the desktop's sans-serif family.
QFont FormFont(const QFont& desktop);
// Bold Tahoma at the given size, or the nearest font the system has.
QFont BoldTahoma(const QFont& base, double points);

// Puts a window in the middle of its screen's available area.
void CenterOnScreen(QWidget& window);

}  // namespace tolvane::ui::qt
