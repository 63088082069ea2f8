#pragma once

#include <functional>
#include <string>

namespace vigilo {

class AppState;

// The five actions that desktops, keyboard shortcuts and scripts can call
// without the tray or the socket. Each is harmless when there is nothing to
// act on: without a controller start, stop and toggle do nothing and the
// status says that Vigilo isn't running. Main thread only.
class ShortcutActions {
public:
    // The controller is not owned: whoever owns it detaches (nullptr) before
    // it goes, so the actions never keep it alive or reach a dead one.
    void attach(AppState* state) { state_ = state; }
    // Set by the tray once its dashboard exists; empty in the headless daemon.
    void setShowDashboard(std::function<void()> show) { showDashboard_ = std::move(show); }

    // Plain `on`, quietly, only from off: a running timer or Auto Mode stays.
    void startKeepAwake();
    // Ends whatever keeps the computer awake; nothing when already off.
    void stopKeepAwake();
    // Auto Mode on, or (from Auto Mode) keep-awake off, like the menu.
    void toggleAIWorkloadMode();
    // False when there is no dashboard to open.
    bool openDashboard();
    std::string status() const;

private:
    AppState* state_ = nullptr;
    std::function<void()> showDashboard_;
};

}  // namespace vigilo
