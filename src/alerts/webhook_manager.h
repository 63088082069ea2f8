#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

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
// alerts through the enabled channels. The stored configuration is read the
// first time something needs it, not at start: reading it may have to load
// the Secret Service's client. Main thread only; `loop`, `store` and
// `service` must outlive it and the requests it started.
class WebhookManager {
public:
    using Config = WebhookConfig;
    enum class Channel { telegram, discord, slack, generic };

    // Reads nothing yet.
    WebhookManager(Loop& loop, CredentialStore& store, WebhookService& service);
    WebhookManager(const WebhookManager&) = delete;
    WebhookManager& operator=(const WebhookManager&) = delete;

    // The configuration; the default (everything off) when the stored one is
    // missing, unreadable or incomplete. The first call reads the store on
    // this thread (waiting for a read already under way in the background).
    Published<Config>& config();

    // Publishes the configuration and writes it to the store in the
    // background (the newest of several quick changes wins). A store that
    // refuses leaves it in memory only, with a log line. Before the stored
    // configuration was read, this one replaces it unread, and sends and
    // tests waiting for the read go ahead with it.
    void setConfig(Config config);

    // Fire and forget: the enabled channels, one after another (Telegram,
    // Discord, Slack, custom), off the main thread; a failing channel does
    // not stop the next. `finished` (tests) runs on any thread at the end.
    // The first one reads the stored configuration in the background first.
    void send(const std::string& title, const std::string& body, const std::string& event,
              std::function<void()> finished = {});

    // Sends a test message through one channel, enabled or not; `done` gets
    // the result on the main thread (not when the manager is gone by then).
    void test(Channel channel, std::function<void(bool)> done);

private:
    // Shared with the background tasks, which make one store call at a time.
    struct Stored {
        std::mutex mutex;
        std::uint64_t latestWrite = 0;
        bool read = false;
        std::optional<std::string> text;
    };
    enum class Reading { notYet, underWay, done };

    static std::optional<std::string> readOnce(Stored& stored, CredentialStore& store);
    void whenRead(std::function<void()> work);
    void adopt(const std::optional<std::string>& text);
    void finishReading();
    void sendNow(const std::string& title, const std::string& body, const std::string& event,
                 std::function<void()> finished);
    void testNow(Channel channel, std::function<void(bool)> done);

    Loop& loop_;
    CredentialStore& store_;
    WebhookService& service_;
    Logger log_{"Webhook"};
    Published<Config> config_;
    std::shared_ptr<Stored> stored_ = std::make_shared<Stored>();
    Reading reading_ = Reading::notYet;
    std::vector<std::function<void()>> waitingForRead_;
    LifeToken life_;
};

}  // namespace vigilo
