#pragma once

#include <string>

#include "app/push_provider.h"

namespace vigilo {

// One phone push, with copies of the settings it goes out with.
struct PushRequest {
    PushProvider provider = PushProvider::none;
    std::string ntfyServer;
    std::string ntfyTopic;
    std::string pushoverToken;
    std::string pushoverUser;
    std::string title;
    std::string body;
};

// Where the controller's alerts leave the computer: phone push and
// webhooks. Both send in the background and never report back.
class AppAlerts {
public:
    virtual ~AppAlerts() = default;
    virtual void push(const PushRequest& request) = 0;
    // `event` is the webhook event name ("session_finished", ...).
    virtual void sendWebhook(const std::string& event, const std::string& title, const std::string& body) = 0;
};

}  // namespace vigilo
