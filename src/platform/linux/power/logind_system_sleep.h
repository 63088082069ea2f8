#pragma once

#include "platform/linux/dbus/bus.h"
#include "platform/system_sleep.h"
#include "support/loop.h"

namespace vigilo {

// logind's Suspend(interactive = true) on the system bus, sent without
// waiting: polkit may ask the user first, and the main loop must not stop
// for that. The reply is read on the main loop and logged under "Sleep".
// The connection is opened on first use and kept.
class LogindSystemSleep final : public SystemSleep {
public:
    explicit LogindSystemSleep(Loop& loop) : loop_(loop) {}
    ~LogindSystemSleep() override;
    LogindSystemSleep(const LogindSystemSleep&) = delete;
    LogindSystemSleep& operator=(const LogindSystemSleep&) = delete;

    bool requestSleep() override;

private:
    bool connect();
    void disconnect();
    void drain();
    static int onReply(sd_bus_message* reply, void* userdata, sd_bus_error* error);

    Loop& loop_;
    dbus::BusPtr bus_;
    Handle busWatch_;
    LifeToken life_;
};

}  // namespace vigilo
