#include "ui/tray_actions.h"

#include "app/app_state.h"
#include "ui/launch_at_login_manager.h"
#include "support/loop.h"

namespace vigilo {

TrayActions::TrayActions(AppState& state, Loop& loop, LaunchAtLoginManager& launchAtLogin)
    : state_(state),
      loop_(loop),
      launchAtLogin_(launchAtLogin) {}

bool TrayActions::perform(const MenuItem& item) {
    switch (item.action) {
        case TrayAction::toggleAutoWatch:
        case TrayAction::toggleKeepAwake:
        case TrayAction::toggleClamshell:
        case TrayAction::stop:
        case TrayAction::toggleChargingOnly:
        case TrayAction::startTimer:
        case TrayAction::togglePreventDisplaySleep:
        case TrayAction::toggleLaunchAtLogin: break;
        default: return false;
    }
    if (!item.deferred) {
        carryOut(item.action, item.timerSeconds);
        return true;
    }
    // A confirmation dialog opened from inside the menu's own handler would
    // stack on the closing menu; run it once the menu is gone.
    loop_.post([this, alive = life_.weak(), action = item.action, seconds = item.timerSeconds] {
        if (alive.lock()) carryOut(action, seconds);
    });
    return true;
}

void TrayActions::carryOut(TrayAction action, double timerSeconds) {
    using K = KeepAwakeMode::Kind;
    switch (action) {
        case TrayAction::toggleAutoWatch: state_.toggleAutoWatch(); break;
        case TrayAction::toggleKeepAwake:
            state_.mode.get().is(K::on) ? state_.stop() : state_.startAlwaysOn();
            break;
        case TrayAction::toggleClamshell: state_.toggleClamshell(); break;
        case TrayAction::stop: state_.stop(); break;
        case TrayAction::toggleChargingOnly:
            state_.mode.get().is(K::chargingOnly) ? state_.stop() : state_.startChargingOnly();
            break;
        case TrayAction::startTimer: state_.startTimer(timerSeconds); break;
        case TrayAction::togglePreventDisplaySleep: {
            auto& setting = state_.settings().preventDisplaySleep;
            setting.set(!setting.get());
            break;
        }
        case TrayAction::toggleLaunchAtLogin: toggleLaunchAtLogin(); break;
        default: break;
    }
}

void TrayActions::toggleLaunchAtLogin() {
    auto& setting = state_.settings().launchAtLogin;
    launchAtLogin_.choose(setting, !setting.get());
}

}  // namespace vigilo
