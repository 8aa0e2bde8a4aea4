#pragma once

// What kind of notification area shows the icon, and how its activations become the
// platform's mouse messages for Form_MouseMove.

#include <cstdint>
#include <vector>

#include <QSystemTrayIcon>

namespace tolvane::ui::qt {

enum class TrayHost {
    // An XEmbed tray (trayer, stalonetray, older panels): Qt sees the real clicks, double
    // clicks included.
    XEmbed,
    // A StatusNotifierItem host (KDE Plasma, most current panels, GNOME's AppIndicator
    // extension): the host asks for one activation and never for a double click, and shows
    // the context menu itself.
    StatusNotifier,
};

// The host Qt uses: a StatusNotifierItem host when the watcher runs on the session bus and
// has a host registered, as Qt itself decides; an XEmbed tray otherwise.
TrayHost DetectTrayHost();

// The mouse messages one activation stands for. A host that cannot double-click gets its
// primary activation as the left double click, so the menu stays one gesture away.
std::vector<std::uint32_t> TrayMouseMessages(QSystemTrayIcon::ActivationReason reason,
                                             TrayHost host);

}  // namespace tolvane::ui::qt
