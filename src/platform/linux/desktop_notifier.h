#pragma once

#include "platform/linux/dbus/bus.h"
#include "platform/local_notifier.h"
#include "support/log.h"

namespace vigilo {

// Desktop notifications through org.freedesktop.Notifications on the
// session bus. Linux has no permission prompt: notifications are
// "authorised" when a notification server owns that name at start-up.
class DesktopNotifier final : public LocalNotifier {
public:
    DesktopNotifier();
    bool authorized() const override { return authorized_; }
    // Fire and forget: the reply is not waited for.
    void post(const std::string& title, const std::string& body) override;

private:
    dbus::BusPtr bus_;
    bool authorized_ = false;
    Logger log_{"AppState"};
};

}  // namespace vigilo
