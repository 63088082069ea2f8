#include "platform/linux/desktop_notifier.h"

#include <fmt/format.h>

#include <cstring>
#include <utility>

namespace vigilo {

namespace {

constexpr dbus::MethodTarget kNotify{"org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                     "org.freedesktop.Notifications", "Notify"};

}  // namespace

bool DesktopNotifier::connect() {
    // A session bus that went away (a logout and login while lingering) is
    // opened afresh.
    if (bus_ && sd_bus_is_open(bus_.get()) > 0) return true;
    disconnect();
    dbus::BusError error;
    bus_ = dbus::openBus(dbus::BusKind::session, error);
    if (!bus_) {
        failed(error.cause);
        return false;
    }
    busWatch_ = loop_.watchReadable(sd_bus_get_fd(bus_.get()), [this] { drain(); });
    return true;
}

void DesktopNotifier::disconnect() {
    busWatch_.cancel();
    bus_.reset();
    // Calls still on their way are lost with the connection.
    for (auto& [cookie, answered] : std::exchange(waiting_, {})) {
        loop_.post([answered = std::move(answered)] { answered(false); });
    }
}

// Replies and the bus's own messages; a broken connection is opened again
// at the next notification.
void DesktopNotifier::drain() {
    if (bus_ && !dbus::processPending(bus_.get())) disconnect();
}

void DesktopNotifier::post(const std::string& title, const std::string& body) { send(title, body); }

void DesktopNotifier::postAnswered(const std::string& title, const std::string& body, Answered answered) {
    if (auto cookie = send(title, body)) {
        waiting_.emplace(*cookie, std::move(answered));
    } else {
        loop_.post([answered = std::move(answered)] { answered(false); });
    }
}

std::optional<std::uint64_t> DesktopNotifier::send(const std::string& title, const std::string& body) {
    if (!connect()) return std::nullopt;
    dbus::BusError error;
    auto call = dbus::newMethodCall(bus_.get(), kNotify, error);
    if (!call) {
        failed(error.cause);
        return std::nullopt;
    }
    sd_bus_message* m = call.get();
    // A notification server that is not running yet is started by the bus.
    int r = sd_bus_message_set_auto_start(m, 1);
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout
    if (r >= 0) r = sd_bus_message_append(m, "susss", "Vigilo", 0u, "", title.c_str(), body.c_str());
    if (r >= 0) r = sd_bus_message_append(m, "as", 0);
    if (r >= 0) r = sd_bus_message_append(m, "a{sv}", 1, "desktop-entry", "s", "com.vigilo.app");
    if (r >= 0) r = sd_bus_message_append(m, "i", -1);
    // A floating slot: a reply still on its way when the bus is closed is
    // dropped with it.
    if (r >= 0) r = sd_bus_call_async(bus_.get(), nullptr, m, &DesktopNotifier::onReply, this, 0);
    // The loop only watches for replies: what is queued is written now.
    if (r >= 0) r = sd_bus_flush(bus_.get());
    std::uint64_t cookie = 0;
    if (r >= 0) r = sd_bus_message_get_cookie(m, &cookie);
    if (r < 0) {
        failed(std::strerror(-r));
        return std::nullopt;
    }
    return cookie;
}

void DesktopNotifier::answer(std::uint64_t cookie, bool delivered) {
    auto it = waiting_.find(cookie);
    if (it == waiting_.end()) return;
    auto answered = std::move(it->second);
    waiting_.erase(it);
    answered(delivered);
}

int DesktopNotifier::onReply(sd_bus_message* reply, void* self, sd_bus_error*) {
    auto* notifier = static_cast<DesktopNotifier*>(self);
    const sd_bus_error* error = sd_bus_message_get_error(reply);
    if (error) {
        notifier->failed(fmt::format("{}: {}", error->name ? error->name : "",
                                     error->message ? error->message : ""));
    } else {
        notifier->failing_ = false;
    }
    std::uint64_t cookie = 0;
    if (sd_bus_message_get_reply_cookie(reply, &cookie) >= 0) notifier->answer(cookie, error == nullptr);
    return 0;
}

void DesktopNotifier::failed(const std::string& cause) {
    if (!failing_) log_.error("Notification failed: {}", cause);
    failing_ = true;
}

}  // namespace vigilo
