#include "ui/qt/tray_icons.h"

#include <QDir>

namespace vigilo {

void addBuildTreeIcons() {
    // Without a desktop's platform theme (a bare X server, the offscreen
    // platform) Qt looks up no theme at all, not even the fallback folders.
    if (QIcon::themeName().isEmpty()) QIcon::setThemeName(QStringLiteral("hicolor"));
#ifdef VIGILO_BUILD_ICON_DIR
    // The build tree holds the bare SVGs, not a theme: they are found by
    // name in the fallback folders, after every theme.
    if (QDir(QStringLiteral(VIGILO_BUILD_ICON_DIR)).exists()) {
        QIcon::setFallbackSearchPaths(QIcon::fallbackSearchPaths() << QStringLiteral(VIGILO_BUILD_ICON_DIR));
    }
#endif
}

QIcon stateIcon(const KeepAwakeMode& mode, bool clamshellActive, ThermalMonitor::Level thermal) {
    using Kind = KeepAwakeMode::Kind;
    const char* name = "vigilo-moon-symbolic";
    if (thermal == ThermalMonitor::Level::critical) {
        name = "vigilo-thermometer-symbolic";
    } else if (clamshellActive) {
        name = "vigilo-lid-symbolic";
    } else {
        switch (mode.kind()) {
        case Kind::timer: name = "vigilo-timer-symbolic"; break;
        case Kind::off: name = "vigilo-moon-symbolic"; break;
        case Kind::on: name = "vigilo-sun-symbolic"; break;
        case Kind::chargingOnly: name = "vigilo-bolt-symbolic"; break;
        case Kind::autoWatch: name = "vigilo-binoculars-symbolic"; break;
        case Kind::runCommand: name = "vigilo-terminal-symbolic"; break;
        }
    }
    return QIcon::fromTheme(QString::fromLatin1(name));
}

}  // namespace vigilo
