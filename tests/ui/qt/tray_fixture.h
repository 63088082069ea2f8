#pragma once

#include "app/app_state_fixture.h"
#include "cli/cli_installer.h"
#include "main/ui_module_abi.h"
#include "platform/login_item.h"
#include "platform/system_command_install.h"
#include "ui/launch_at_login_manager.h"

namespace vigilo::testing {

// The application of AppStateTest with what the tray needs besides: a login
// item that stays as it is and an installer whose system target refuses.
class TrayFixture : public AppStateTest {
protected:
    struct StillLoginItem final : LoginItem {
        bool isEnabled() override { return false; }
        std::optional<std::string> enable() override { return "unchanged"; }
        std::optional<std::string> disable() override { return std::nullopt; }
    };
    struct NoSystemInstall final : SystemCommandInstall {
        std::optional<std::string> install(const std::string&) override { return "refused"; }
        std::optional<std::string> remove() override { return "refused"; }
    };

    TrayServices services() {
        return TrayServices{state(), settings, battery, thermal,  watcher,       cooling,
                            runner,  lid,      watchdog, launchAtLogin, installer, &notifier};
    }

    StillLoginItem loginItem;
    LaunchAtLoginManager launchAtLogin{loginItem};
    NoSystemInstall systemInstall;
    CLIInstaller installer{dir.path(), "/usr/bin/vigilo-app", systemInstall};
};

}  // namespace vigilo::testing
