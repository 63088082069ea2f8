#include "platform/linux/desktop_notifier.h"

#include <cstring>

namespace vigilo {

namespace {

constexpr auto kCallTimeout = std::chrono::seconds(2);
constexpr dbus::MethodTarget kNotify{"org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                     "org.freedesktop.Notifications", "Notify"};

}  // namespace

DesktopNotifier::DesktopNotifier() {
    dbus::BusError error;
    bus_ = dbus::openBus(dbus::BusKind::session, error);
    if (!bus_) return;
    authorized_ = dbus::nameHasOwner(bus_.get(), kNotify.destination, kCallTimeout, error).value_or(false);
}

void DesktopNotifier::post(const std::string& title, const std::string& body) {
    if (!bus_) return;
    dbus::BusError error;
    auto call = dbus::newMethodCall(bus_.get(), kNotify, error);
    if (!call) return;
    sd_bus_message* m = call.get();
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout
    int r = sd_bus_message_append(m, "susss", "Vigilo", 0u, "", title.c_str(), body.c_str());
    if (r >= 0) r = sd_bus_message_append(m, "as", 0);
    if (r >= 0) r = sd_bus_message_append(m, "a{sv}", 1, "desktop-entry", "s", "vigilo");
    if (r >= 0) r = sd_bus_message_append(m, "i", -1);
    if (r >= 0) r = sd_bus_message_set_expect_reply(m, 0);
    if (r >= 0) r = sd_bus_send(bus_.get(), m, nullptr);
    if (r >= 0) r = sd_bus_flush(bus_.get());
    if (r < 0) log_.error("Notification failed: {}", std::strerror(-r));
}

}  // namespace vigilo
