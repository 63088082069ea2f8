// The low-battery safety net: the auto-stop below the user's threshold and
// the escalation that warns, then urges, then sleeps the computer before the
// battery runs out under a held sleep lock.
#include <algorithm>

#include "activity/activity_log.h"
#include "alerts/watchdog.h"
#include "app/app_alerts.h"
#include "app/app_state.h"
#include "platform/system_sleep.h"
#include "support/tr.h"

namespace vigilo {

BatteryStage AppState::batteryStage(int level) const {
    // The thresholds are independent settings; overlapping ones are pushed
    // apart so that no stage is skipped and force-sleep never reaches 0 %.
    const int forceSleepLimit = std::max(c_.settings.forceSleepBatteryThreshold.get(), 1);
    const int criticalLimit = std::max(forceSleepLimit + 1, c_.settings.criticalBatteryThreshold.get());
    const int warnLimit = std::max(criticalLimit + 1, c_.settings.warnBatteryThreshold.get());
    if (level <= forceSleepLimit) return BatteryStage::forceSleep;
    if (level <= criticalLimit) return BatteryStage::critical;
    if (level <= warnLimit) return BatteryStage::warn;
    return BatteryStage::normal;
}

void AppState::autoStopForBattery(int level) {
    const int threshold = c_.settings.batteryThreshold.get();
    log_.info("Auto-stop: battery {}% < threshold {}%", level, threshold);
    stop();
    c_.activity.record(ActivityKind::autoStopped, level);
    postUserMessage(trFormat("Vigilo stopped: battery dropped below {}%.", threshold));
    notifyAndPush(tr("Vigilo stopped"), trFormat("Battery is at {}%. Plug in to keep going.", level));
}

void AppState::escalateBattery(BatteryStage stage, int level) {
    switch (stage) {
        case BatteryStage::normal: break;
        case BatteryStage::warn:
            c_.activity.record(ActivityKind::batteryWarn, level);
            postUserMessage(trFormat("Battery low: {}%. Plug in soon.", level));
            notifyAndPush(tr("Battery low"),
                          trFormat("{}% left. Vigilo will sleep the computer if it keeps dropping.", level));
            break;
        case BatteryStage::critical: {
            c_.activity.record(ActivityKind::batteryCritical, level);
            const std::string text = trFormat("Battery critical: {}%.", level);
            c_.watchdog.record(Watchdog::Kind::batteryCritical, text, false);
            postUserMessage(text);
            notifyAndPush(tr("Battery critical"),
                          trFormat("{}% left. Plug in now \u2014 Vigilo is about to sleep your computer.", level));
            break;
        }
        case BatteryStage::forceSleep: forceSleepForBattery(level); break;
    }
}

void AppState::forceSleepForBattery(int level) {
    log_.info("Battery {}% at/below force-sleep \u2014 releasing holds and sleeping", level);
    const std::string body = trFormat("Battery hit {}%. Vigilo slept the computer to avoid a sudden shutdown.", level);
    c_.activity.record(ActivityKind::batteryForceSleep, level);
    const std::string title = tr("Vigilo put your computer to sleep");
    c_.alerts.sendWebhook("auto_sleep", title, body);
    notifyAndPush(title, body);
    postUserMessage(body);
    stop();
    releaseRuleHoldsForSleep();
    // A refused request is logged by the sleeper; keep-awake is already off.
    c_.systemSleep.requestSleep();
}

}  // namespace vigilo
