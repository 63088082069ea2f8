#pragma once

#include "app/setting.h"
#include "support/handle.h"
#include "support/log.h"

namespace vigilo {

class LoginItem;

// Switches the login item on and off for the menu's "Launch at Login" and
// the onboarding window. Main thread only.
class LaunchAtLoginManager {
public:
    explicit LaunchAtLoginManager(LoginItem& item) : item_(item) {}

    // True when the login item is now as asked, also when it already was (the
    // item is then left alone); false, and logged, when it was refused. The
    // caller stores the setting only on true.
    bool set(bool enabled);
    // A person's choice in the menu or the onboarding window: the setting
    // takes `enabled` only when the login item did. Returns whether it did.
    bool choose(Setting<bool>& launchAtLogin, bool enabled);

    // The setting first takes the item's state, which may have been changed
    // outside the application; from then on every write of the setting (an
    // edited preferences file, the settings window) is applied to the item.
    [[nodiscard]] Handle follow(Setting<bool>& launchAtLogin);

private:
    LoginItem& item_;
    Logger log_{"LaunchAtLogin"};
};

}  // namespace vigilo
