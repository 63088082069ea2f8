#include "ui/qt/windows/tool_window.h"

#include <QLabel>

#include "ui/qt/window_frame.h"

namespace vigilo {

ToolWindow::ToolWindow(const QString& title, QSize contentSize) { frameWindow(*this, title, contentSize); }

void ToolWindow::present() { presentWindow(*this); }

QLabel* explanationLabel(const QString& text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

}  // namespace vigilo
