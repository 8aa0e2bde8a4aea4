#pragma once

#include <functional>

#include <QDialog>

#include "config/ConfigWindow.h"

class QLineEdit;

namespace tolvane {
class Failure;
}

namespace tolvane::ui::qt {

// The settings window Frm_Config: seven fields driven by the keyboard, F11 saves and closes,
// Esc closes. Each opening builds it afresh.
class FrmConfig final : public QDialog {
    Q_OBJECT

  public:
    // `onUntrapped` receives a failure of saving, which nothing in the window traps.
    FrmConfig(Context& context, std::function<void(const Failure&)> onUntrapped);

    // Form_Load, then the window, modally, with the focus in the first field. A failure of
    // the load reaches the caller before anything is shown.
    int Open();

  private:
    QLineEdit* AddField(const char* name, const char* label, bool boldLabel, double top,
                        double width);
    config::ConfigFields Fields() const;
    void Show(const config::ConfigFields& fields);
    bool KeyDown(int keyCode, int shift);

    config::ConfigWindow logic_;
    std::function<void(const Failure&)> onUntrapped_;
    QLineEdit* Txt_RUTA_;
    QLineEdit* TXT_RUTABCK1_;
    QLineEdit* TXT_RUTABCK2_;
    QLineEdit* txtServidor_;
    QLineEdit* txtDirectorio_;
    QLineEdit* txtUsuario_;
    QLineEdit* txtPassword_;
};

}  // namespace tolvane::ui::qt
