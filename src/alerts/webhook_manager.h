#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "alerts/webhook_config.h"
#include "alerts/webhook_service.h"
#include "platform/credential_store.h"
#include "support/log.h"
#include "support/loop.h"
#include "support/published.h"

namespace vigilo {

inline constexpr const char* kWebhookCredentialService = "com.vigilo.app.webhooks";
inline constexpr const char* kWebhookCredentialAccount = "config";

// Holds the webhook configuration, keeps it in the credential store and sends
// alerts through the enabled channels. Main thread only; `loop`, `store` and
// `service` must outlive it and the requests it started.
class WebhookManager {
public:
    using Config = WebhookConfig;
    enum class Channel { telegram, discord, slack, generic };

    // Loads the stored configuration; the default (everything off) when it
    // is missing, unreadable or incomplete.
    WebhookManager(Loop& loop, CredentialStore& store, WebhookService& service);
    WebhookManager(const WebhookManager&) = delete;
    WebhookManager& operator=(const WebhookManager&) = delete;

    Published<Config>& config() { return config_; }

    // Publishes the configuration and writes it to the store in the
    // background (the newest of several quick changes wins). A store that
    // refuses leaves it in memory only, with a log line.
    void setConfig(Config config);

    // Fire and forget: the enabled channels, one after another (Telegram,
    // Discord, Slack, custom), off the main thread; a failing channel does
    // not stop the next. `finished` (tests) runs on any thread at the end.
    void send(const std::string& title, const std::string& body, const std::string& event,
              std::function<void()> finished = {});

    // Sends a test message through one channel, enabled or not; `done` gets
    // the result on the main thread (not when the manager is gone by then).
    void test(Channel channel, std::function<void(bool)> done);

private:
    struct Persisting {
        std::mutex mutex;
        std::uint64_t latest = 0;
    };

    Loop& loop_;
    CredentialStore& store_;
    WebhookService& service_;
    Logger log_{"Webhook"};
    Published<Config> config_;
    std::shared_ptr<Persisting> persisting_ = std::make_shared<Persisting>();
    LifeToken life_;
};

}  // namespace vigilo
