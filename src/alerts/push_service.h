#pragma once

#include <functional>
#include <string>

#include "app/push_provider.h"
#include "platform/http_client.h"
#include "support/log.h"

namespace vigilo {

inline constexpr const char* kPushoverApiBase = "https://api.pushover.net";

// Mirrors notifications to the user's phone through ntfy or Pushover. Fire
// and forget: one request per message, every outcome one log line of the
// "Push" category, nothing reported to the caller. Holds no state; safe to
// call from any thread. `http` must outlive it.
class PushService {
public:
    // Called once the request's log line is written, on any thread (tests
    // wait for it; the application passes nothing).
    using Done = std::function<void()>;

    explicit PushService(HttpClient& http, std::string pushoverApiBase = kPushoverApiBase)
        : http_(http), pushoverApiBase_(std::move(pushoverApiBase)) {}

    void send(PushProvider provider, const std::string& ntfyServer, const std::string& ntfyTopic,
              const std::string& pushoverToken, const std::string& pushoverUser, const std::string& title,
              const std::string& body, Done done = {});

    void sendNtfy(const std::string& server, const std::string& topic, const std::string& title,
                  const std::string& body, Done done = {});
    void sendPushover(const std::string& token, const std::string& user, const std::string& title,
                      const std::string& body, Done done = {});

private:
    void deliver(HttpRequest request, std::string label, Done done);

    HttpClient& http_;
    std::string pushoverApiBase_;
    Logger log_{"Push"};
};

}  // namespace vigilo
