// The tray taking over from the headless instance carries on with what the
// person started there, before its socket answers anyone.
#include <algorithm>

#include "app/app_state.h"
#include "ipc/hand_over_state.h"
#include "platform/clamshell_control.h"
#include "support/tr.h"

namespace vigilo {

HandOverState AppState::handOverState() const {
    using Kind = KeepAwakeMode::Kind;
    using Mode = HandOverState::Mode;
    HandOverState state{.closedLid = clamshellActive.get()};
    switch (mode.get().kind()) {
    case Kind::on: state.mode = Mode::on; break;
    case Kind::timer:
        state.mode = Mode::timer;
        state.timerEndsAt = mode.get().expiresAt();
        break;
    case Kind::chargingOnly: state.mode = Mode::chargingOnly; break;
    case Kind::autoWatch: state.mode = Mode::autoMode; break;
    // The command is this process's child and ends with it.
    case Kind::runCommand:
    case Kind::off: break;
    }
    return state;
}

void AppState::resumeHandedOver(const HandOverState& state) {
    using Mode = HandOverState::Mode;
    log_.info("Resumed from the daemon: {}", describeHandOver(state));
    switch (state.mode) {
    case Mode::off: break;
    case Mode::on: startKeepAwakeQuiet(); break;
    case Mode::timer: {
        const WallTime now = c_.loop.clock().wallNow();
        const WallTime end = std::min(state.timerEndsAt.value_or(WallTime{}), now + kLongestDuration);
        if (end <= now) {
            log_.info("The handed-over timer ended meanwhile; it is not resumed");
            break;
        }
        enter(KeepAwakeMode::timer(end));
        applyAssertion(true);
        scheduleTimer(end);
        break;
    }
    case Mode::chargingOnly: startChargingOnly(); break;
    case Mode::autoMode: enterAutoWatch(); break;
    }
}

void AppState::resumeClosedLid() {
    if (clamshellActive.get() || clamshellSwitching_) return;
    switchClamshell(true, Consent::withoutAsking, [this](bool switched) {
        if (!switched) {
            log_.info("Closed-lid mode could not be taken over from the daemon");
            postUserMessage(tr(kClamshellUnavailableMessage));
            return;
        }
        clamshellSwitchedOn();
        actForSystem([this] {
            if (mode.get().is(KeepAwakeMode::Kind::off)) startKeepAwakeQuiet();
        });
    });
}

}  // namespace vigilo
