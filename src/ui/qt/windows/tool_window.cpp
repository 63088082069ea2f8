#include "ui/qt/windows/tool_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QKeyEvent>

namespace vigilo {

ToolWindow::ToolWindow(const QString& title, QSize contentSize) {
    setWindowTitle(title);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    resize(contentSize);
}

// Keys a focused field leaves unused come up here, Escape among them, as in
// a dialog.
void ToolWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ToolWindow::present() {
    if (!std::exchange(placed_, true)) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            move(screen->availableGeometry().center() - rect().center());
        }
    }
    showNormal();
    raise();
    activateWindow();
}

QLabel* explanationLabel(const QString& text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

}  // namespace vigilo
