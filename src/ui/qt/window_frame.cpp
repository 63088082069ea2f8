#include "ui/qt/window_frame.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWidget>

namespace vigilo {

namespace {

constexpr const char* kPlacedProperty = "vigiloPlaced";

// Sees the keys a focused control left unused on their way up to the window;
// a window shortcut would need the window to be the active one.
class EscapeCloses final : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Escape || key->modifiers() != Qt::NoModifier) return false;
        static_cast<QWidget*>(watched)->close();
        return true;
    }
};

}  // namespace

void frameWindow(QWidget& window, const QString& title, QSize contentSize) {
    window.setWindowTitle(title);
    window.setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    window.resize(contentSize);
    closeOnEscape(window);
}

void closeOnEscape(QWidget& window) { window.installEventFilter(new EscapeCloses(&window)); }

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
