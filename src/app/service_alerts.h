#pragma once

#include "alerts/push_service.h"
#include "alerts/webhook_manager.h"
#include "app/app_alerts.h"

namespace vigilo {

// The controller's alerts through the real push service and webhooks.
class ServiceAlerts final : public AppAlerts {
public:
    ServiceAlerts(PushService& push, WebhookManager& webhooks) : push_(push), webhooks_(webhooks) {}

    void push(const PushRequest& r) override {
        push_.send(r.provider, r.ntfyServer, r.ntfyTopic, r.pushoverToken, r.pushoverUser, r.title, r.body);
    }
    void sendWebhook(const std::string& event, const std::string& title, const std::string& body) override {
        webhooks_.send(title, body, event);
    }

private:
    PushService& push_;
    WebhookManager& webhooks_;
};

}  // namespace vigilo
