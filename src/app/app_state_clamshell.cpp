// Closed-lid mode as the controller switches it: from the menu with a
// confirmation, from rules without one, off at heat, stop and quit, and the
// repair at launch of what a crash left behind.
#include "activity/activity_log.h"
#include "app/app_state.h"
#include "platform/clamshell_control.h"
#include "platform/confirmation_dialog.h"
#include "safety/crash_guard.h"
#include "support/tr.h"

namespace vigilo {

void AppState::recoverClamshellAtLaunch() {
    const bool stale = c_.crashGuard.recoverIfStale();
    const bool disabled = c_.clamshell.isSleepDisabled();
    if (stale || disabled) {
        log_.info("Crash-guard recovering leftover closed-lid state at launch");
        if (disabled) c_.clamshell.setDisableSleep(false, Consent::withoutAsking);
        c_.activity.record(ActivityKind::crashGuardRecovered);
        c_.activity.record(ActivityKind::safeResetApplied);
    }
    clamshellActive.set(false);
}

bool AppState::tearDownClamshell(Consent consent) {
    if (!clamshellActive.get()) return true;
    if (!c_.clamshell.setDisableSleep(false, consent)) return false;
    clamshellActive.set(false);
    c_.crashGuard.disarm();
    c_.activity.record(ActivityKind::clamshellOff);
    return true;
}

bool AppState::restoreSleepBeforeQuit() { return tearDownClamshell(); }

bool AppState::confirmClamshellWarning() {
    return c_.confirmation.confirm(
        tr("Keep running with the lid closed?"),
        std::string(tr("Vigilo will let your computer stay awake with the lid shut. In a desktop session Vigilo asks the "
                       "system to ignore the lid while the mode is on \u2014 no password needed. Elsewhere only an "
                       "administrator can allow it. Vigilo puts everything back automatically when you turn "
                       "Closed-Lid off (from the Vigilo menu) or quit.")) +
            "\n\n" +
            tr("\u26a0\ufe0f With the lid closed the computer can't cool well \u2014 keep it in open air, ideally "
               "plugged in, and don't run heavy tasks lid-closed inside a bag."),
        tr("Enable Closed-Lid"), tr("Cancel"));
}

void AppState::clamshellSwitchedOn() {
    clamshellActive.set(true);
    c_.crashGuard.arm();
    c_.activity.record(ActivityKind::clamshellOn);
    c_.activity.record(ActivityKind::crashGuardArmed);
}

void AppState::toggleClamshell() {
    if (clamshellActive.get()) {
        if (!tearDownClamshell(Consent::mayAsk)) {
            postUserMessage(tr("Couldn't restore normal sleep \u2014 closed-lid mode is still on."));
            return;
        }
        postUserMessage(tr("Closed-lid mode off \u2014 system sleep restored."));
        if (mode.get().is(KeepAwakeMode::Kind::on)) stop();
        return;
    }
    if (!confirmClamshellWarning()) return;
    if (!c_.clamshell.setDisableSleep(true, Consent::mayAsk)) {
        postUserMessage(tr(kClamshellUnavailableMessage));
        return;
    }
    clamshellSwitchedOn();
    if (mode.get().is(KeepAwakeMode::Kind::off)) startKeepAwakeQuiet();
    postUserMessage(tr("Closed-lid mode on. Keep the computer in a well-ventilated spot."));
}

void AppState::enableClamshellQuiet() {
    if (clamshellActive.get() || !c_.clamshell.setDisableSleep(true, Consent::withoutAsking)) return;
    clamshellSwitchedOn();
    if (mode.get().is(KeepAwakeMode::Kind::off)) startKeepAwakeQuiet();
}

void AppState::dropClamshellForHeat() {
    if (!clamshellActive.get() || !c_.settings.thermalAutoStopClamshell.get()) return;
    log_.info("Critical thermal state \u2014 auto-dropping clamshell mode");
    tearDownClamshell();
    postUserMessage(tr("\u26a0\ufe0f Computer is very hot \u2014 closed-lid mode turned off for safety."));
    notifyAndPush(tr("Closed-lid mode stopped"), tr("Your computer got too hot. Open the lid or improve airflow."));
}

}  // namespace vigilo
