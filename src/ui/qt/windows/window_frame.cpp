#include "ui/qt/windows/window_frame.h"

#include <QGuiApplication>
#include <QKeySequence>
#include <QScreen>
#include <QShortcut>
#include <QWidget>

namespace vigilo {

namespace {

constexpr const char* kPlacedProperty = "vigiloPlaced";

}  // namespace

void frameWindow(QWidget& window, const std::string& title, QSize contentSize) {
    window.setWindowTitle(QString::fromStdString(title));
    window.setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMinimizeButtonHint);
    window.resize(contentSize);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), &window);
    escape->setContext(Qt::WindowShortcut);
    QObject::connect(escape, &QShortcut::activated, &window, &QWidget::close);
}

void presentWindow(QWidget& window) {
    if (!window.property(kPlacedProperty).toBool()) {
        window.setProperty(kPlacedProperty, true);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            window.move(screen->availableGeometry().center() - window.rect().center());
        }
    }
    window.showNormal();
    window.raise();
    window.activateWindow();
}

}  // namespace vigilo
