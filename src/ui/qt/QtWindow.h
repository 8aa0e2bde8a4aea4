#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>

#include "ui/Window.h"
#include "ui/qt/TrayHost.h"

namespace tolvane {
struct Context;
}

namespace tolvane::ui::qt {

class FrmLista;

// The main window frmLista with Qt Widgets: the window itself, its timer Timer1, the tray
// icon and the popup menu mnu. Needs a QApplication.
class QtWindow final : public Window {
  public:
    QtWindow();
    ~QtWindow() override;
    QtWindow(const QtWindow&) = delete;
    QtWindow& operator=(const QtWindow&) = delete;

    std::uintptr_t WindowHandle() override;
    std::uintptr_t IconHandle() override;
    void NotifyIcon(std::uint32_t message, const NotifyIconData& data) override;
    void SetLabel(int index, const std::string& text) override;
    void SetProgress(float value) override;
    void ShowFileList(const std::vector<std::string>& names) override;
    void SetTimer(unsigned intervalMs, bool enabled) override;
    void DoEvents() override;
    int MessageBox(const std::string& text, int style) override;
    void ReportUntrappedFailure(const Failure& failure) override;
    void ShowFailure(const std::string& text) override;
    bool FailureShown() override;
    void CloseFailure() override;
    void ShowWarningIcon(bool warning) override;

    // What a tick of Timer1 runs, and the settings that the configuration window edits.
    void setTimerHandler(std::function<void()> onTick) { onTick_ = std::move(onTick); }
    void setSettingsContext(Context& context) { context_ = &context; }

    // Watches the stop request (readable once a stop was asked for) from now on: every open
    // message box and window closes, the event loop ends, and a message box asked to show
    // after that, or that was open, throws Interrupted. The byte is left there for the pass.
    void WatchStop(int stopFd);
    bool stopping() const { return stopping_; }

    // Runs the event loop, ticks included, until a stop is requested (see WatchStop).
    void RunLoop(int wakeFd, std::function<void()> onTick);

    // Failures of the handlers that trap nothing (the tick, the menu, the settings window's
    // keys) end up here. By default the report is shown and the program ends with status 3.
    void setUntrappedHandler(std::function<void(const Failure&)> handler) {
        untrapped_ = std::move(handler);
    }
    // Whether a notification area shows the icon; without one, the window stays in view
    // and "Cerrar" and Esc minimise it instead of hiding it.
    void setNotificationAreaCheck(std::function<bool()> available) {
        notificationArea_ = std::move(available);
        hasNotificationArea_.reset();
    }
    // The host is found on the session bus when the icon is added, unless set here.
    void setTrayHost(TrayHost host) { UseTrayHost(host); }

    // The menu's entries.
    void mnu_Abrir();
    void mnu_Configurar();
    void mnu_Cerrar();

    FrmLista& frmLista() { return *frmLista_; }
    QMenu& mnu() { return mnu_; }
    QSystemTrayIcon& trayIcon() { return tray_; }
    QTimer& Timer1() { return timer1_; }
    QMessageBox* failureBox() { return failureBox_; }
    const QIcon& icon() const { return icon_; }
    const QIcon& warningIcon() const { return warningIcon_; }

  private:
    void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);
    // The kind of tray host, and whether the toolkit gets the menu to show at a right click.
    void UseTrayHost(TrayHost host);
    // Asked once, before the icon shows, and kept (see NotifyIcon).
    bool HasNotificationArea();
    void HideWindow();
    void RunUntrapped(const std::function<void()>& handler);

    std::unique_ptr<FrmLista> frmLista_;
    QIcon icon_;
    QIcon warningIcon_;  // the same with a warning mark
    QPointer<QMessageBox> failureBox_;
    QMenu mnu_;
    QSystemTrayIcon tray_;
    QTimer timer1_;
    std::function<void()> onTick_;
    Context* context_ = nullptr;
    std::function<void(const Failure&)> untrapped_;
    std::function<bool()> notificationArea_;
    std::optional<TrayHost> host_;
    std::unique_ptr<QSocketNotifier> stopWatch_;
    bool stopping_ = false;
    std::optional<bool> hasNotificationArea_;
    bool toldNoNotificationArea_ = false;
    bool hostMenuPending_ = false;  // a StatusNotifierItem host's click waits to open the menu
};

}  // namespace tolvane::ui::qt
