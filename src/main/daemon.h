#pragma once

#include <memory>
#include <string>

#include "activity/activity_log.h"
#include "alerts/push_service.h"
#include "alerts/watchdog.h"
#include "alerts/webhook_manager.h"
#include "alerts/webhook_service.h"
#include "app/app_settings.h"
#include "app/app_state.h"
#include "app/app_state_ipc.h"
#include "app/headless_confirmation.h"
#include "app/mqtt/app_state_mqtt.h"
#include "app/mqtt/mqtt_settings_service.h"
#include "app/service_alerts.h"
#include "app/shortcut_actions.h"
#include "cli/cli_installer.h"
#include "cli/command_runner.h"
#include "detection/process_watcher.h"
#include "ipc/ipc_instance.h"
#include "ipc/ipc_server.h"
#include "main/ui_module_abi.h"
#include "platform/credential_store.h"
#include "platform/linux/dbus/shortcuts_service.h"
#include "platform/linux/desktop/kde_lid_action.h"
#include "platform/linux/desktop_entry/xdg_autostart_entry.h"
#include "platform/linux/desktop_notifier.h"
#include "platform/linux/network/linux_network_monitor.h"
#include "platform/linux/online/online_services.h"
#include "platform/linux/pkexec_command_install.h"
#include "platform/linux/power/linux_power_management.h"
#include "platform/linux/power/logind_clamshell.h"
#include "platform/linux/power/logind_system_sleep.h"
#include "platform/linux/privileged/helper_runner.h"
#include "platform/linux/proc/linux_running_applications.h"
#include "platform/linux/proc/process_detector.h"
#include "platform/linux/process/login_shell_child_launcher.h"
#include "platform/linux/safety/hwmon_smc_transport.h"
#include "platform/linux/safety/linux_lid_state.h"
#include "platform/linux/safety/linux_power_sources.h"
#include "platform/linux/safety/privileged_fan_writer.h"
#include "platform/linux/safety/sysfs_thermal_level_source.h"
#include "platform/linux/secrets/lazy_credential_store.h"
#include "platform/linux/sessions/logind_remote_sessions.h"
#include "main/why_service.h"
#include "support/application_loop.h"
#include "platform/linux/unix_socket.h"
#include "rules/rules_store.h"
#include "safety/battery_monitor.h"
#include "safety/cooling_manager.h"
#include "safety/crash_guard.h"
#include "safety/restore_record.h"
#include "safety/smc.h"
#include "safety/thermal_monitor.h"
#include "support/serial_writer.h"
#include "support/xdg_paths.h"
#include "ui/launch_at_login_manager.h"

namespace vigilo {

// The MQTT password's place in the credential store (main/daemon_mqtt.cpp).
CredentialItem mqttCredentialItem(const XdgEnvironment& env);

// The whole application without a tray: every long-lived object, created in
// the order the application depends on (members are initialised in
// declaration order), the controller after its components and the socket
// last. Destroyed in reverse, so the socket goes first.
class Daemon {
public:
    // `dialogs` asks the user at the screen; without it every confirmation
    // goes ahead, as it must for a request typed in a terminal.
    Daemon(ApplicationLoop& loop, const XdgEnvironment& env, std::string socketPath,
           ConfirmationDialog* dialogs = nullptr);
    // Background tasks use the components: they finish before those go.
    ~Daemon() { loop_.finishBackgroundWork(); }
    Daemon(const Daemon&) = delete;
    Daemon& operator=(const Daemon&) = delete;

    // Starts the socket and the shortcut actions, once the launch's repairs
    // are done; false when the socket could not listen (the application runs
    // on without it).
    bool startServer();
    // For the tray: the shortcut actions' way to its dashboard.
    ShortcutActions& shortcutActions() { return shortcuts_; }
    // After SIGHUP: writes what is queued, then reads the rules and the
    // preferences again and applies what changed.
    void reload();
    // Stops the socket, lets the controller release everything, and waits
    // until every pending background task and file write is done.
    void shutdown();

    TrayServices trayServices();
    // What the dashboard shortcut opens, once there is a tray.
    void setShowDashboard(std::function<void()> show) { shortcuts_.setShowDashboard(std::move(show)); }
    // What the socket learns and asks of this process. With
    // `quitForHandOver`, a handOver request is answered with this process's
    // state and then runs it.
    void setInstance(IPCInstance instance, std::function<void()> quitForHandOver = nullptr);
    // In a launch taking over from the headless instance, before the socket
    // starts: the keep-awake mode at once, closed-lid mode after the
    // launch's repairs.
    void resumeHandedOver(const HandOverState& state);

private:
    static ProcessWatcher::Options watcherOptions(const AppSettings& settings);
    // "/" but in the suite, see daemon.cpp.
    static std::filesystem::path systemRoot(const XdgEnvironment& env);
    static std::filesystem::path helperPath(const XdgEnvironment& env);
    static HelperRunner::Elevation helperElevation(const XdgEnvironment& env);
    void repairAtLaunch();
    void launchRepairDone();
    bool startServices();
    std::unique_ptr<AppStateMqtt> makeMqtt(const XdgEnvironment& env);

    ApplicationLoop& loop_;
    SerialWriter writer_;
    AppSettings settings_;
    LinuxPowerSources powerSources_;
    BatteryMonitor battery_;
    SysfsThermalLevelSource thermalSource_;
    ThermalMonitor thermal_;
    std::shared_ptr<ProcessDetector> processes_;
    LinuxRunningApplications applications_;
    ProcessWatcher watcher_;
    LoginShellChildLauncher launcher_;
    CommandRunner runner_;
    ActivityLog activity_;
    RestoreRecord restoreRecord_;
    HelperRunner helper_;
    PrivilegedFanWriter fanWriter_;
    HwmonSMCTransport smcTransport_;
    SMC smc_;
    CoolingManager cooling_;
    RulesStore rules_;
    LinuxNetworkMonitor network_;
    Watchdog watchdog_;
    LazyHttpClient http_;
    WebhookService webhookService_;
    LazyCredentialStore credentials_;
    WebhookManager webhooks_;
    PushService push_;
    ServiceAlerts alerts_;
    LinuxPowerManagement power_;
    HeadlessConfirmation headlessConfirmation_;
    DesktopNotifier notifier_;
    LogindSystemSleep systemSleep_;
    KdeLidAction kdeLid_;
    LogindClamshell clamshell_;
    LinuxLidState lid_;
    LogindRemoteSessions remoteSessions_;
    CrashGuard crashGuard_;
    AppState state_;
    AppStateIPC stateForIPC_;
    WhyService why_;
    // This computer on the MQTT broker; nothing without a machine id.
    LazyCredentialStore mqttPassword_;
    std::unique_ptr<AppStateMqtt> mqtt_;
    MqttSettingsService mqttSettings_;
    IPCInstance instance_;
    UnixSocketServer sockets_;
    IPCServer server_;
    ShortcutActions shortcuts_;
    ShortcutsService shortcutsService_;
    // The tray's: "Launch at Login" and "Install vigilo CLI…".
    XdgAutostartEntry loginItem_;
    LaunchAtLoginManager launchAtLogin_;
    // The setting takes the login item's state at start (it may have been
    // changed outside the application) and every later write goes to it.
    Handle followLoginItem_;
    PkexecCommandInstall systemCommandInstall_;
    CLIInstaller cliInstaller_;
    // The launch's repairs still under way; the socket waits for them.
    int launchRepairsLeft_ = 0;
    bool serverWanted_ = false;
    bool closedLidToResume_ = false;
};

}  // namespace vigilo
