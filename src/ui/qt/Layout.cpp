#include "ui/qt/Layout.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "ui/TrayEvents.h"

namespace tolvane::ui::qt {

double ScreenDpi() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->logicalDotsPerInchX() : 96.0;
}

QRect TwipsRect(const layout::TwipsRect& rect) {
    return TwipsRect(rect.left, rect.top, rect.width, rect.height);
}

int Twips(double twips) {
    return TwipsToPixels(twips, ScreenDpi());
}

QRect TwipsRect(double left, double top, double width, double height) {
    return {Twips(left), Twips(top), Twips(width), Twips(height)};
}

QFont FormFont(const QFont& desktop) {
    QFont font(desktop);
    font.setPointSizeF(layout::kFormFontPoints);
    return font;
}

QFont BoldTahoma(const QFont& base, double points) {
    QFont font(base);
    font.setFamily(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

void CenterOnScreen(QWidget& window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

}  // namespace tolvane::ui::qt
