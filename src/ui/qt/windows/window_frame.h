#pragma once

#include <QSize>
#include <string>

class QWidget;

namespace vigilo {

// A tray window's frame: its title, the given content size as its first size
// (it may grow, so large text still fits), a close and a minimise button,
// and Escape to close it.
void frameWindow(QWidget& window, const std::string& title, QSize contentSize);

// Brings the window to the front; centred on the screen the first time.
void presentWindow(QWidget& window);

}  // namespace vigilo
