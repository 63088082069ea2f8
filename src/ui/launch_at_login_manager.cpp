#include "ui/launch_at_login_manager.h"

#include "platform/login_item.h"

namespace vigilo {

bool LaunchAtLoginManager::set(bool enabled) {
    if (item_.isEnabled() == enabled) return true;
    const auto error = enabled ? item_.enable() : item_.disable();
    if (error) {
        log_.error("LaunchAtLogin toggle failed: {}", *error);
        return false;
    }
    return true;
}

bool LaunchAtLoginManager::choose(Setting<bool>& launchAtLogin, bool enabled) {
    if (!set(enabled)) return false;
    launchAtLogin.set(enabled);
    return true;
}

Handle LaunchAtLoginManager::follow(Setting<bool>& launchAtLogin) {
    const bool enabled = item_.isEnabled();
    if (launchAtLogin.get() != enabled) launchAtLogin.set(enabled);
    return launchAtLogin.subscribe([this](const bool& wanted) { set(wanted); });
}

}  // namespace vigilo
