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

void AppState::recoverClamshellAtLaunch(std::function<void()> done) {
    if (!done) done = [] {};
    const bool stale = c_.crashGuard.recoverIfStale();
    const bool disabled = c_.clamshell.isSleepDisabled();
    clamshellActive.set(false);
    if (!stale && !disabled) return done();
    log_.info("Crash-guard recovering leftover closed-lid state at launch");
    c_.activity.record(ActivityKind::crashGuardRecovered);
    c_.activity.record(ActivityKind::safeResetApplied);
    if (!disabled) return done();
    switchClamshell(false, Consent::withoutAsking, [done](bool) { done(); });
}

void AppState::tearDownClamshell(Consent consent, std::function<void(bool)> done) {
    if (!done) done = [](bool) {};
    if (!clamshellActive.get()) return done(true);
    if (clamshellSwitching_) {
        log_.info("Closed-lid mode is already being switched off");
        return done(false);
    }
    switchClamshell(false, consent, [this, done](bool switched) {
        if (switched) {
            clamshellActive.set(false);
            c_.crashGuard.disarm();
            c_.activity.record(ActivityKind::clamshellOff);
        }
        done(switched);
    });
}

void AppState::restoreSleepBeforeQuit(std::function<void(bool)> done) {
    tearDownClamshell(Consent::withoutAsking, std::move(done));
}

// One switch at a time: the helper behind it may wait a minute for a
// password, and meanwhile the menu, the rules and the socket go on.
void AppState::switchClamshell(bool on, Consent consent, std::function<void(bool)> done) {
    clamshellSwitching_ = true;
    c_.clamshell.setDisableSleep(on, consent, [this, weak = clamshellLife_.weak(), done](bool switched) {
        if (!weak.lock()) return;
        clamshellSwitching_ = false;
        done(switched);
    });
}

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
    if (clamshellSwitching_) {
        log_.info("Closed-lid mode is still being switched; the menu's toggle is ignored");
        return;
    }
    if (clamshellActive.get()) {
        tearDownClamshell(Consent::mayAsk, [this](bool restored) {
            if (!restored) {
                postUserMessage(tr("Couldn't restore normal sleep \u2014 closed-lid mode is still on."));
                return;
            }
            postUserMessage(tr("Closed-lid mode off \u2014 system sleep restored."));
            if (mode.get().is(KeepAwakeMode::Kind::on)) stop();
        });
        return;
    }
    if (!confirmClamshellWarning()) return;
    switchClamshell(true, Consent::mayAsk, [this](bool switched) {
        if (!switched) {
            postUserMessage(tr(kClamshellUnavailableMessage));
            return;
        }
        clamshellSwitchedOn();
        if (mode.get().is(KeepAwakeMode::Kind::off)) startKeepAwakeQuiet();
        postUserMessage(tr("Closed-lid mode on. Keep the computer in a well-ventilated spot."));
    });
}

void AppState::enableClamshellQuiet() {
    if (clamshellActive.get() || clamshellSwitching_) return;
    switchClamshell(true, Consent::withoutAsking, [this](bool switched) {
        if (!switched) return;
        clamshellSwitchedOn();
        // The answer comes after the rule's own turn: still the system acting.
        actForSystem([this] {
            if (mode.get().is(KeepAwakeMode::Kind::off)) startKeepAwakeQuiet();
        });
    });
}

void AppState::dropClamshellForHeat() {
    if (!clamshellActive.get() || !c_.settings.thermalAutoStopClamshell.get()) return;
    log_.info("Critical thermal state \u2014 auto-dropping clamshell mode");
    tearDownClamshell();
    postUserMessage(tr("\u26a0\ufe0f Computer is very hot \u2014 closed-lid mode turned off for safety."));
    notifyAndPush(tr("Closed-lid mode stopped"), tr("Your computer got too hot. Open the lid or improve airflow."));
}

}  // namespace vigilo
