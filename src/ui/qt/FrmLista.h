#pragma once

#include <functional>

#include <QWidget>

class QGroupBox;
class QLabel;
class QListWidget;
class QProgressBar;

namespace tolvane::ui::qt {

// The main window frmLista: the pending files, the file in progress, a wait notice and the
// progress bar of the pass. Esc and the close box hide it through `hide`; nothing here ends
// the program.
class FrmLista final : public QWidget {
    Q_OBJECT

  public:
    explicit FrmLista(std::function<void()> hide);

    QListWidget& lst() { return *lst_; }
    QLabel& lbl(int index) { return *lbl_[index == 0 ? 0 : 1]; }
    QProgressBar& pbMain() { return *pbMain_; }

    // Positions arrive as single-precision numbers; the bar shows whole steps, rounded.
    void setProgress(float value);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    std::function<void()> hide_;
    QListWidget* lst_;
    QGroupBox* fr_;
    QLabel* image1_;
    QLabel* lbl_[2];
    QProgressBar* pbMain_;
    QLabel* label1_;
};

}  // namespace tolvane::ui::qt
