#pragma once

#include <memory>

#include "main/ui_module_abi.h"

namespace vigilo {

class StateWindow;

// The tray's windows, each made on first use and kept when closed, so a
// later use brings the same one to the front. Main thread only.
class WindowShelf {
public:
    WindowShelf(const TrayServices& services, Loop& loop);
    ~WindowShelf();
    WindowShelf(const WindowShelf&) = delete;
    WindowShelf& operator=(const WindowShelf&) = delete;

    StateWindow& showStatus();
    StateWindow& showDashboard();

private:
    TrayServices services_;
    Loop& loop_;
    std::unique_ptr<StateWindow> status_;
    std::unique_ptr<StateWindow> dashboard_;
};

}  // namespace vigilo
