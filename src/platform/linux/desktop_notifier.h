#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "platform/linux/dbus/bus.h"
#include "platform/local_notifier.h"
#include "support/log.h"
#include "support/loop.h"

namespace vigilo {

// Desktop notifications through org.freedesktop.Notifications on the
// session bus, whose connection is driven by the application's loop. Linux has
// no permission prompt, and notification servers come and go (dunst and mako
// start on demand), so each notification is sent on its own: D-Bus
// activation may start a server, and "no server" fails that one notification
// only. A failure is logged once; the next is logged only after one got
// through. `loop` must outlive the notifier.
class DesktopNotifier final : public LocalNotifier {
public:
    explicit DesktopNotifier(Loop& loop) : loop_(loop) {}
    // Returns at once; the answer is looked at on the loop.
    void post(const std::string& title, const std::string& body) override;
    void postAnswered(const std::string& title, const std::string& body, Answered answered) override;

private:
    // The reply's cookie when the call went out.
    std::optional<std::uint64_t> send(const std::string& title, const std::string& body);
    void answer(std::uint64_t cookie, bool delivered);
    bool connect();
    void disconnect();
    void drain();
    void failed(const std::string& cause);
    static int onReply(sd_bus_message* reply, void* self, sd_bus_error*);

    Loop& loop_;
    dbus::BusPtr bus_;
    // Declared after the bus: stops watching it before it closes.
    Handle busWatch_;
    bool failing_ = false;
    // Who waits for the answer to which call.
    std::map<std::uint64_t, Answered> waiting_;
    Logger log_{"AppState"};
};

}  // namespace vigilo
