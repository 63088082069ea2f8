#include "ui/qt/present_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <utility>

namespace vigilo {

void presentWindow(QWidget& window, bool& placed) {
    if (!std::exchange(placed, true)) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            window.move(screen->availableGeometry().center() - window.rect().center());
        }
    }
    window.showNormal();
    window.raise();
    window.activateWindow();
}

}  // namespace vigilo
