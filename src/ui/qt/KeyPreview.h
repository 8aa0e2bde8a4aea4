#pragma once

#include <functional>

#include <QObject>

class QWidget;

namespace tolvane::ui::qt {

// A Qt key as the platform's key code (Esc 27, F1 112 ... F24 135, letters and digits as
// their capital ASCII codes, Enter 13, Tab 9, Backspace 8, Space 32); 0 for the rest.
int VirtualKeyCode(int qtKey);
// Shift 1, Ctrl 2, Alt 4, added up.
int ShiftState(Qt::KeyboardModifiers modifiers);

// A window's key preview: the window sees every key press before the control that has the
// focus. `handler` gets the key code and the shift state, and returns true to consume the key.
class KeyPreview final : public QObject {
  public:
    using Handler = std::function<bool(int keyCode, int shift)>;

    // Watches the window and every control it holds now.
    KeyPreview(QWidget& window, Handler handler);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    Handler handler_;
};

}  // namespace tolvane::ui::qt
