#include "app/shortcut_actions.h"

#include "app/app_state.h"
#include "support/tr.h"

namespace vigilo {

void ShortcutActions::startKeepAwake() {
    if (state_ && state_->mode.get().is(KeepAwakeMode::Kind::off)) state_->startKeepAwakeQuiet();
}

void ShortcutActions::stopKeepAwake() {
    if (state_ && !state_->mode.get().is(KeepAwakeMode::Kind::off)) state_->stop();
}

void ShortcutActions::toggleAIWorkloadMode() {
    if (state_) state_->toggleAutoWatch();
}

bool ShortcutActions::openDashboard() {
    if (!showDashboard_) return false;
    showDashboard_();
    return true;
}

std::string ShortcutActions::status() const {
    return state_ ? state_->intentStatusText() : tr("Vigilo isn't running.");
}

}  // namespace vigilo
