#include "ui/qt/windows/tool_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QShortcut>

namespace vigilo {

ToolWindow::ToolWindow(const QString& title, QSize contentSize) {
    setWindowTitle(title);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    resize(contentSize);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    QObject::connect(escape, &QShortcut::activated, this, &QWidget::close);
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
