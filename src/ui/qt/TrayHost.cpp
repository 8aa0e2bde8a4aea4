#include "ui/qt/TrayHost.h"

#include "ui/TrayEvents.h"
#include "ui/Window.h"

#ifdef TOLVANE_WITH_QTDBUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#endif

namespace tolvane::ui::qt {

TrayHost DetectTrayHost() {
#ifdef TOLVANE_WITH_QTDBUS
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface() != nullptr &&
        bus.interface()->isServiceRegistered(watcher)) {
        QDBusInterface proxy(watcher, QStringLiteral("/StatusNotifierWatcher"), watcher, bus);
        if (proxy.property("IsStatusNotifierHostRegistered").toBool())
            return TrayHost::StatusNotifier;
    }
#endif
    return TrayHost::XEmbed;
}

std::vector<std::uint32_t> TrayMouseMessages(QSystemTrayIcon::ActivationReason reason,
                                             TrayHost host) {
    switch (reason) {
        case QSystemTrayIcon::DoubleClick:
            return {kWmLButtonDblClk};
        case QSystemTrayIcon::Trigger:
            if (host == TrayHost::StatusNotifier)
                return {kWmLButtonDblClk};
            return {kWmLButtonDown, kWmLButtonUp};
        case QSystemTrayIcon::Context:
            return {kWmRButtonDown, kWmRButtonUp};
        case QSystemTrayIcon::MiddleClick:
            return {kWmMButtonDown, kWmMButtonUp};
        case QSystemTrayIcon::Unknown:
            break;
    }
    return {kWmMouseMove};
}

}  // namespace tolvane::ui::qt
