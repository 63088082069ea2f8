#pragma once

#include <string>
#include <vector>

#include "platform/confirmation_dialog.h"
#include "support/application_loop.h"

namespace vigilo {

class ActivityLog;
class AppAlerts;
class AppSettings;
class AppState;
class BatteryMonitor;
class CLIInstaller;
class CommandRunner;
class CoolingManager;
class LaunchAtLoginManager;
class InhibitorWatch;
class LidState;
class LocalNotifier;
class MqttSettingsService;
class PrivilegedRunner;
class ProcessWatcher;
class RulesStore;
class ThermalMonitor;
class Watchdog;
class WebhookManager;

// What the tray shows and drives: the running application's components,
// which outlive the tray.
struct TrayServices {
    AppState& state;
    AppSettings& settings;
    BatteryMonitor& battery;
    ThermalMonitor& thermal;
    ProcessWatcher& watcher;
    CoolingManager& cooling;
    CommandRunner& runner;
    LidState& lid;
    Watchdog& watchdog;
    LaunchAtLoginManager& launchAtLogin;
    CLIInstaller& cliInstaller;
    RulesStore& rules;
    WebhookManager& webhooks;
    AppAlerts& alerts;  // the phone push test
    ActivityLog& activity;
    // For the onboarding's test notification; absent, it is not offered.
    LocalNotifier* notifier = nullptr;
    // Asks the person before a preset they chose drives the fans; absent,
    // nobody is asked and only what the system allows anyway is done.
    PrivilegedRunner* privileged = nullptr;
    // The MQTT section's password and connection test.
    MqttSettingsService* mqtt = nullptr;
    // What keeps the computer awake, live: the tray's "Also keeping awake"
    // line and tooltip, the window that lists it.
    InhibitorWatch* inhibitors = nullptr;
};

// The tray role's user interface, made by libvigilo-ui.so: the toolkit's
// application object, the loop on its event loop, the dialogs and the tray.
// Main thread only.
class UserInterface {
public:
    virtual ~UserInterface() = default;
    // The loop the whole application runs on while the interface exists.
    virtual ApplicationLoop& loop() = 0;
    // Modal questions to the user at the screen.
    virtual ConfirmationDialog& confirmation() = 0;
    // Makes the windows ready and shows the icon and its menu; false when
    // the desktop offers no tray (the windows are still there to open).
    virtual bool showTray(const TrayServices& services) = 0;
    // Takes the icon and the windows away before the services go.
    virtual void hideTray() = 0;
    // Bring a window to the front; nothing before showTray.
    virtual void showDashboard() = 0;
    virtual void showStatus() = 0;
};

}  // namespace vigilo

extern "C" {
// nullptr when no display can be reached.
using VigiloOpenUserInterface = vigilo::UserInterface* (*)(const std::vector<std::string>* arguments);
}

namespace vigilo {
inline constexpr const char* kUiModuleFile = "libvigilo-ui.so";
inline constexpr const char* kOpenUserInterfaceSymbol = "vigilo_ui_open";
}  // namespace vigilo
