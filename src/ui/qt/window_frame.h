#pragma once

#include <QSize>
#include <QString>

class QWidget;

namespace vigilo {

// The frame every kept tray window has: its title, a close and a minimise
// button, the content size as its first size (it may grow, so large text
// still fits) and Escape to put it away.
void frameWindow(QWidget& window, const QString& title, QSize contentSize);

// Escape closes the window (it is kept, only hidden) from wherever the focus
// is, when the focused control has no use for the key, as in a dialog.
void closeOnEscape(QWidget& window);

// Brings the window to the front; centred on the screen the first time.
void presentWindow(QWidget& window);

}  // namespace vigilo
