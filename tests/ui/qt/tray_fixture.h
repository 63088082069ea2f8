#pragma once

#include "alerts/webhook_manager.h"
#include "alerts/webhook_service.h"
#include "app/app_state_fixture.h"
#include "cli/cli_installer.h"
#include "main/ui_module_abi.h"
#include "platform/linux/secrets/file_credential_store.h"
#include "platform/login_item.h"
#include "platform/system_command_install.h"
#include "ui/launch_at_login_manager.h"

namespace vigilo::testing {

// Keeps the requests; never answers.
struct SilentHttp final : HttpClient {
    std::vector<HttpRequest> sent;
    void send(HttpRequest request, Completion) override { sent.push_back(std::move(request)); }
};

// The application of AppStateTest with what the tray and its windows need
// besides: a login item that stays as it is, an installer whose system target
// refuses, and webhook settings in a private file.
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
        return TrayServices{state(), settings, battery,       thermal,   watcher, cooling,  runner, lid,
                            watchdog, launchAtLogin, installer, rules, webhooks, alerts, activity,
                            &notifier};
    }

    StillLoginItem loginItem;
    LaunchAtLoginManager launchAtLogin{loginItem};
    NoSystemInstall systemInstall;
    CLIInstaller installer{dir.path(), "/usr/bin/vigilo-app", systemInstall};
    FileCredentialStore credentials{dir.path() / "webhooks"};
    SilentHttp http;
    WebhookService webhookService{http};
    WebhookManager webhooks{loop, credentials, webhookService};
};

}  // namespace vigilo::testing
