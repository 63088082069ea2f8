#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "alerts/watchdog.h"
#include "app/keep_awake_mode.h"
#include "detection/process_scan.h"
#include "safety/battery_monitor.h"
#include "safety/fan_controller.h"
#include "safety/fan_preset.h"
#include "safety/thermal_monitor.h"
#include "support/clock.h"
#include "support/handle.h"

namespace vigilo {

class AppState;

// One reading of everything the tray menu, the status window and the
// dashboard show, so that the models that turn it into texts stay pure and
// a test can write it by hand.
struct StateFacts {
    KeepAwakeMode mode = KeepAwakeMode::off();
    bool assertionActive = false;
    bool clamshellActive = false;
    std::optional<WallTime> startedAt;
    std::optional<std::string> lastUserMessage;
    std::string liveStatus;

    BatteryMonitor::Snapshot battery = BatteryMonitor::noBattery();
    ThermalMonitor::Level thermal = ThermalMonitor::Level::nominal;
    std::optional<double> temperature;  // °C, the hottest sensor
    std::vector<FanController::Reading> fans;
    bool fanControlSupported = false;
    FanPreset fanPreset = FanPreset::balanced;
    std::optional<bool> lidClosed;  // nothing on a machine without a lid

    std::vector<WatchMatch> matches;
    std::vector<Watchdog::Alert> recentAlerts;  // newest first

    bool useCpuDetection = true;
    bool preventDisplaySleep = false;
    bool launchAtLogin = false;
    // What else keeps the computer or its screen awake ("Firefox, backup"),
    // and whether it blocks sleep; set where the live list is followed.
    std::string alsoKeepingAwake;
    bool othersBlockSleep = false;

    WallTime now{};
};

// Reads the facts from the running application. Main thread only; the lid
// reading may wait briefly on system services.
StateFacts gatherStateFacts(AppState& state);

// Calls `changed` whenever a published value behind the facts is assigned
// (the battery every 10 seconds, changed or not), until the handles go.
[[nodiscard]] std::vector<Handle> watchStateFacts(AppState& state, std::function<void()> changed);

}  // namespace vigilo
