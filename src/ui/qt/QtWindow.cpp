#include "ui/qt/QtWindow.h"

#include <algorithm>
#include <iostream>

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPen>
#include <QPushButton>
#include <QSocketNotifier>

#include "common/Failure.h"
#include "common/Stop.h"
#include "common/Text.h"
#include "common/Version.h"
#include "ui/TrayEvents.h"
#include "ui/qt/FrmConfig.h"
#include "ui/qt/FrmLista.h"
#include "ui/qt/Layout.h"

// The program's icon: the pixel drawing at 16 pixels, the vector drawing's renderings at the
// larger sizes trays ask for. Resources of a static library are registered by hand, outside
// any namespace.
static QIcon LoadTolvaneIcon() {
    Q_INIT_RESOURCE(tolvane);
    Q_INIT_RESOURCE(tolvane_sizes);
    QIcon icon(QStringLiteral(":/tolvane/tolvane.xpm"));
    for (const int size : {22, 24, 32, 48, 64})
        icon.addFile(QStringLiteral(":/tolvane/sizes/%1.png").arg(size), QSize(size, size));
    return icon;
}

namespace tolvane::ui::qt {
namespace {

QString BoxText(const std::string& text) {
    return QString::fromStdString(text::ReplaceAll(text, "\r\n", "\n"));
}

// The icon at every size a tray asks for, with a warning mark (a yellow triangle with an
// exclamation mark) over its lower right quarter.
QIcon WithWarningMark(const QIcon& icon) {
    QIcon marked;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        // Every size has its image and the mark drawn at its own scale.
        QPixmap pixmap = icon.pixmap(size, size)
                             .scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const double side = size * 0.6, left = size - side, top = size - side;
        const QPointF corners[] = {
            {left + side / 2, top}, {size - 0.5, size - 0.5}, {left, size - 0.5}};
        painter.setPen(QPen(Qt::black, std::max(1.0, size / 24.0)));
        painter.setBrush(QColor(255, 200, 0));
        painter.drawPolygon(corners, 3);
        painter.setPen(QPen(Qt::black, std::max(1.5, size / 12.0), Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(left + side / 2, top + side * 0.35),
                         QPointF(left + side / 2, top + side * 0.65));
        painter.drawPoint(QPointF(left + side / 2, top + side * 0.82));
        painter.end();
        marked.addPixmap(pixmap);
    }
    return marked;
}

}  // namespace

QtWindow::QtWindow() : icon_(LoadTolvaneIcon()), warningIcon_(WithWarningMark(icon_)) {
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(icon_);
    untrapped_ = [this](const Failure& failure) { EndOnUntrappedFailure(*this, failure); };
    notificationArea_ = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };

    frmLista_ = std::make_unique<FrmLista>([this] { HideWindow(); });
    frmLista_->setWindowIcon(icon_);

    mnu_.setObjectName(QStringLiteral("mnu"));
    QAction* abrir = mnu_.addAction(QStringLiteral("Abrir"));
    QAction* configurar = mnu_.addAction(QStringLiteral("Configurar"));
    QAction* cerrar = mnu_.addAction(QStringLiteral("Cerrar"));
    abrir->setObjectName(QStringLiteral("mnu_Abrir"));
    configurar->setObjectName(QStringLiteral("mnu_Configurar"));
    cerrar->setObjectName(QStringLiteral("mnu_Cerrar"));
    QObject::connect(abrir, &QAction::triggered, [this] { RunUntrapped([this] { mnu_Abrir(); }); });
    QObject::connect(configurar, &QAction::triggered,
                     [this] { RunUntrapped([this] { mnu_Configurar(); }); });
    QObject::connect(cerrar, &QAction::triggered,
                     [this] { RunUntrapped([this] { mnu_Cerrar(); }); });

    // StatusNotifierItem hosts show a menu of their own, which gets to be the same one (see
    // UseTrayHost); a right click on the window opens it as well.
    tray_.setIcon(icon_);
    QObject::connect(&tray_, &QSystemTrayIcon::activated,
                     [this](QSystemTrayIcon::ActivationReason reason) { OnTrayActivated(reason); });
    frmLista_->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(frmLista_.get(), &QWidget::customContextMenuRequested,
                     [this] { mnu_.popup(QCursor::pos()); });

    timer1_.setObjectName(QStringLiteral("Timer1"));
    QObject::connect(&timer1_, &QTimer::timeout, [this] {
        if (onTick_)
            RunUntrapped(onTick_);
    });
}

QtWindow::~QtWindow() {
    delete failureBox_;
    tray_.hide();
}

std::uintptr_t QtWindow::WindowHandle() {
    return reinterpret_cast<std::uintptr_t>(frmLista_.get());
}

std::uintptr_t QtWindow::IconHandle() {
    return static_cast<std::uintptr_t>(icon_.cacheKey());
}

void QtWindow::NotifyIcon(std::uint32_t message, const NotifyIconData& data) {
    if (message == kNimDelete) {
        tray_.hide();
        return;
    }
    if (message != kNimAdd)
        return;
    tray_.setToolTip(QString::fromStdString(data.ShownTip()));
    // Both questions go to the session bus before the icon exists: asked after show(), they
    // would wait on a StatusNotifierItem host that is itself waiting for the new icon's
    // properties, up to D-Bus's 25 s timeout.
    hasNotificationArea_.reset();
    const bool available = HasNotificationArea();
    if (!host_)
        UseTrayHost(DetectTrayHost());
    tray_.show();
    if (!available) {
        if (!toldNoNotificationArea_) {
            std::cerr << "tolvane: no hay área de notificación; la ventana queda a la vista y "
                         "su menú se abre con el botón derecho\n";
            toldNoNotificationArea_ = true;
        }
        mnu_Abrir();
    }
}

void QtWindow::SetLabel(int index, const std::string& text) {
    frmLista_->lbl(index).setText(QString::fromStdString(text));
}

void QtWindow::SetProgress(float value) {
    frmLista_->setProgress(value);
}

void QtWindow::ShowFileList(const std::vector<std::string>& names) {
    QListWidget& list = frmLista_->lst();
    list.clear();
    for (const std::string& name : names)
        list.addItem(QString::fromStdString(name));
}

void QtWindow::SetTimer(unsigned intervalMs, bool enabled) {
    timer1_.setInterval(static_cast<int>(intervalMs));
    // A period of 0 never fires, as on the platform; every enabling starts a full period.
    if (enabled && intervalMs > 0)
        timer1_.start();
    else
        timer1_.stop();
}

void QtWindow::DoEvents() {
    QCoreApplication::processEvents();
}

int QtWindow::MessageBox(const std::string& text, int style) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (style & 0xF0) {
        case kMbIconStop:
            icon = QMessageBox::Critical;
            break;
        case kMbIconQuestion:
            icon = QMessageBox::Question;
            break;
        case kMbIconExclamation:
            icon = QMessageBox::Warning;
            break;
        case kMbIconInformation:
            icon = QMessageBox::Information;
            break;
        default:
            break;
    }
    if (stopping_)
        throw Interrupted();
    QMessageBox box(icon, QString::fromUtf8(version::kTitle), BoxText(text));
    box.setWindowIcon(icon_);
    QPushButton* no = nullptr;
    if ((style & 0x0F) == kMbYesNo) {
        QPushButton* yes = box.addButton(QStringLiteral("&Sí"), QMessageBox::YesRole);
        no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
    } else {
        box.setDefaultButton(box.addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole));
    }
    // Waited for in a loop of its own rather than shown modal: a modal box would take the
    // tray icon's clicks, and the menu must open while any box is open.
    box.setWindowModality(Qt::NonModal);
    QEventLoop answered;
    QObject::connect(&box, &QMessageBox::finished, &answered, &QEventLoop::quit);
    box.show();
    answered.exec();
    if (stopping_)
        throw Interrupted();  // closed by the stop, not answered
    if (no == nullptr)
        return kIdOk;
    return box.clickedButton() == no ? kIdNo : kIdYes;
}

void QtWindow::ShowFailure(const std::string& text) {
    if (stopping_)
        throw Interrupted();
    CloseFailure();
    failureBox_ =
        new QMessageBox(QMessageBox::Warning, QString::fromUtf8(version::kTitle), BoxText(text));
    failureBox_->setAttribute(Qt::WA_DeleteOnClose);
    failureBox_->setWindowIcon(icon_);
    failureBox_->setDefaultButton(
        failureBox_->addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole));
    failureBox_->setWindowModality(Qt::NonModal);
    failureBox_->show();
}

bool QtWindow::FailureShown() {
    return failureBox_ != nullptr && failureBox_->isVisible();
}

void QtWindow::CloseFailure() {
    if (failureBox_ != nullptr)
        failureBox_->close();
}

void QtWindow::ShowWarningIcon(bool warning) {
    tray_.setIcon(warning ? warningIcon_ : icon_);
}

void QtWindow::ReportUntrappedFailure(const Failure& failure) {
    ShowUntrappedFailure(*this, failure);
}

void QtWindow::WatchStop(int stopFd) {
    stopWatch_ = std::make_unique<QSocketNotifier>(stopFd, QSocketNotifier::Read);
    QObject::connect(stopWatch_.get(), &QSocketNotifier::activated, [this] {
        stopWatch_->setEnabled(false);
        stopping_ = true;
        timer1_.stop();
        CloseFailure();
        // Ends every event loop, those of open message boxes and windows included. Not
        // quit(): it first asks every top-level window to close, and the main window only
        // hides, which may leave the tray icon's own window open and cancel the quit.
        QCoreApplication::exit(0);
    });
}

void QtWindow::RunLoop(int wakeFd, std::function<void()> onTick) {
    onTick_ = std::move(onTick);
    if (!stopWatch_)
        WatchStop(wakeFd);
    if (!stopping_)
        QApplication::exec();
}

void QtWindow::mnu_Abrir() {
    if (frmLista_->isMinimized())
        frmLista_->showNormal();
    else
        frmLista_->show();
    frmLista_->raise();
    frmLista_->activateWindow();
}

void QtWindow::mnu_Configurar() {
    if (context_ == nullptr)
        return;
    FrmConfig dialog(*context_, untrapped_);
    dialog.setWindowIcon(icon_);
    dialog.Open();
}

void QtWindow::mnu_Cerrar() {
    HideWindow();
}

bool QtWindow::HasNotificationArea() {
    if (!hasNotificationArea_)
        hasNotificationArea_ = notificationArea_();
    return *hasNotificationArea_;
}

void QtWindow::HideWindow() {
    if (HasNotificationArea())
        frmLista_->hide();
    else
        frmLista_->showMinimized();
}

void QtWindow::OnTrayActivated(QSystemTrayIcon::ActivationReason reason) {
    // Only a host that sees real clicks reports a double click.
    if (reason == QSystemTrayIcon::DoubleClick && host_ != TrayHost::XEmbed)
        UseTrayHost(TrayHost::XEmbed);
    const TrayHost host = host_ ? *host_ : TrayHost::XEmbed;
    // A right click on an XEmbed tray, the convention there: the menu opens once the button is
    // up. Opened at the press, as the toolkit would, the release could land on its first entry
    // and choose it.
    if (host == TrayHost::XEmbed && reason == QSystemTrayIcon::Context) {
        auto* waitForRelease = new QTimer(&mnu_);
        QObject::connect(waitForRelease, &QTimer::timeout, [this, waitForRelease] {
            if (QGuiApplication::mouseButtons() != Qt::NoButton)
                return;
            waitForRelease->deleteLater();
            waitForRelease->stop();
            mnu_.popup(QCursor::pos());
        });
        waitForRelease->start(10);
        return;
    }
    const double twipsPerPixel = TwipsPerPixel(ScreenDpi());
    // A StatusNotifierItem host turns a double click into two activations. A menu opened at the
    // first would take the second click for one outside it and close: it opens once the
    // double-click interval is over, whether one click came or two.
    if (host == TrayHost::StatusNotifier && reason == QSystemTrayIcon::Trigger) {
        if (hostMenuPending_)
            return;
        hostMenuPending_ = true;
        QTimer::singleShot(QApplication::doubleClickInterval(), &mnu_, [this, twipsPerPixel] {
            hostMenuPending_ = false;
            for (std::uint32_t message :
                 TrayMouseMessages(QSystemTrayIcon::Trigger, TrayHost::StatusNotifier)) {
                Form_MouseMove(message * twipsPerPixel, twipsPerPixel, *this,
                               [this] { mnu_.popup(QCursor::pos()); });
            }
        });
        return;
    }
    for (std::uint32_t message : TrayMouseMessages(reason, host)) {
        Form_MouseMove(message * twipsPerPixel, twipsPerPixel, *this,
                       [this] { mnu_.popup(QCursor::pos()); });
    }
}

void QtWindow::UseTrayHost(TrayHost host) {
    host_ = host;
    // On an XEmbed tray the toolkit would open this menu itself at a right press.
    tray_.setContextMenu(host == TrayHost::StatusNotifier ? &mnu_ : nullptr);
}

void QtWindow::RunUntrapped(const std::function<void()>& handler) {
    ui::RunUntrapped(handler, untrapped_);
}

}  // namespace tolvane::ui::qt
