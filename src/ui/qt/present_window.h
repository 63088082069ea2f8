#pragma once

class QWidget;

namespace vigilo {

// Shows a kept window in front of the others, centred on the screen the
// first time (`placed` remembers that it was).
void presentWindow(QWidget& window, bool& placed);

}  // namespace vigilo
