#include "ui/qt/tray_icons.h"

#include <QDir>
#include <QIcon>

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

}  // namespace vigilo
