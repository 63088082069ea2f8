#include "platform/linux/power/logind_system_sleep.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include "support/log.h"

namespace vigilo {

namespace {

constexpr dbus::MethodTarget kSuspend{"org.freedesktop.login1", "/org/freedesktop/login1",
                                      "org.freedesktop.login1.Manager", "Suspend"};
// Long enough for someone to type a password into polkit's prompt.
constexpr std::chrono::microseconds kReplyTimeout = std::chrono::minutes(2);

const Logger& sleepLog() {
    static const Logger log("Sleep");
    return log;
}

}  // namespace

LogindSystemSleep::~LogindSystemSleep() { disconnect(); }

bool LogindSystemSleep::connect() {
    if (bus_) return true;
    dbus::BusError error;
    bus_ = dbus::openBus(dbus::BusKind::system, error);
    if (!bus_) {
        sleepLog().error("logind sleep failed: {}", error.cause);
        return false;
    }
    busWatch_ = loop_.watchReadable(sd_bus_get_fd(bus_.get()), [this, alive = life_.weak()] {
        if (alive.lock()) drain();
    });
    return true;
}

void LogindSystemSleep::disconnect() {
    busWatch_.cancel();
    bus_.reset();
}

bool LogindSystemSleep::requestSleep() {
    if (!connect()) return false;
    dbus::BusError error;
    auto call = dbus::newMethodCall(bus_.get(), kSuspend, error);
    int r = call ? sd_bus_message_append(call.get(), "b", 1) : -EINVAL;
    // The slot is floating: it lives until the reply (or the time-out) comes.
    if (r >= 0) r = sd_bus_call_async(bus_.get(), nullptr, call.get(), &LogindSystemSleep::onReply, nullptr,
                                      kReplyTimeout.count());
    if (r >= 0) r = sd_bus_flush(bus_.get());
    if (r < 0) {
        sleepLog().error("logind sleep failed: {}", call ? std::strerror(-r) : error.cause);
        disconnect();
        return false;
    }
    sleepLog().info("Requested system sleep");
    return true;
}

void LogindSystemSleep::drain() {
    if (bus_ && !dbus::processPending(bus_.get())) disconnect();
}

int LogindSystemSleep::onReply(sd_bus_message* reply, void*, sd_bus_error*) {
    if (const sd_bus_error* failure = sd_bus_message_get_error(reply)) {
        sleepLog().error("logind sleep failed: {}", failure->message ? failure->message : failure->name);
    }
    return 0;
}

}  // namespace vigilo
