#pragma once

#include "support/handle.h"
#include "support/loop.h"
#include "ui/tray_menu_model.h"

namespace vigilo {

class AppState;
class LaunchAtLoginManager;

// Carries out the tray menu's entries that are the controller's own
// operations, so the view only opens windows and dialogs. Main thread only.
class TrayActions {
public:
    TrayActions(AppState& state, Loop& loop, LaunchAtLoginManager& launchAtLogin);
    TrayActions(const TrayActions&) = delete;
    TrayActions& operator=(const TrayActions&) = delete;

    // Returns false when the entry is the view's to handle (a window, a
    // dialog, quitting); deferred entries are queued to the loop.
    bool perform(const MenuItem& item);

private:
    void carryOut(TrayAction action, double timerSeconds);
    void toggleLaunchAtLogin();

    AppState& state_;
    Loop& loop_;
    LaunchAtLoginManager& launchAtLogin_;
    LifeToken life_;
};

}  // namespace vigilo
