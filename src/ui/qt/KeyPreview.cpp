#include "ui/qt/KeyPreview.h"

#include <QKeyEvent>
#include <QWidget>

namespace tolvane::ui::qt {

int VirtualKeyCode(int qtKey) {
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return 112 + (qtKey - Qt::Key_F1);
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return qtKey;  // Qt numbers them as their ASCII capitals, as the platform does
    switch (qtKey) {
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 13;
        case Qt::Key_Tab:
            return 9;
        case Qt::Key_Backspace:
            return 8;
        case Qt::Key_Space:
            return 32;
        default:
            return 0;
    }
}

int ShiftState(Qt::KeyboardModifiers modifiers) {
    return (modifiers.testFlag(Qt::ShiftModifier) ? 1 : 0) +
           (modifiers.testFlag(Qt::ControlModifier) ? 2 : 0) +
           (modifiers.testFlag(Qt::AltModifier) ? 4 : 0);
}

KeyPreview::KeyPreview(QWidget& window, Handler handler)
    : QObject(&window), handler_(std::move(handler)) {
    window.installEventFilter(this);
    for (QWidget* child : window.findChildren<QWidget*>())
        child->installEventFilter(this);
}

bool KeyPreview::eventFilter(QObject* watched, QEvent* event) {
    // A key that a control ignores travels on to its parents and passes here again; only
    // consumed keys act, and those stop at the first pass.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (handler_(VirtualKeyCode(key->key()), ShiftState(key->modifiers())))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tolvane::ui::qt
