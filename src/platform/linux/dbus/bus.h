#pragma once

#include <systemd/sd-bus.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A thin RAII layer over sd-bus for the short blocking calls Vigilo makes
// (power inhibitors, and later UPower and notifications).
//
// Threading: a connection, and every message made on it, belongs to the
// thread that opened it: the main thread, or the command line's only thread.
// Nothing here is attached to an event loop; calls wait on the connection
// itself, never longer than the time-out they are given.
namespace vigilo::dbus {

enum class BusKind { system, session };

struct BusUnref {
    void operator()(sd_bus* bus) const { sd_bus_close_unref(bus); }
};
struct MessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using BusPtr = std::unique_ptr<sd_bus, BusUnref>;
using MessagePtr = std::unique_ptr<sd_bus_message, MessageUnref>;

// Why an operation failed: a positive errno value and a readable cause. When
// the peer answered with a D-Bus error, `name` holds that error's name.
struct BusError {
    int code = 0;
    std::string name;
    std::string cause;

    bool failed() const { return code != 0; }
    // The connection itself is of no more use: open a new one next time.
    bool connectionLost() const;
    void set(int errnoValue, std::string text, std::string errorName = {});
};

// Where a method call goes.
struct MethodTarget {
    const char* destination;
    const char* path;
    const char* interface;
    const char* member;
};

// Opens the system or the session bus the standard way
// (DBUS_SYSTEM_BUS_ADDRESS / DBUS_SESSION_BUS_ADDRESS, then the usual sockets).
// A missing socket fails at once; the handshake itself is finished by the
// first call, within that call's time-out.
BusPtr openBus(BusKind kind, BusError& error);

// Handles everything the connection has received, for a bus driven by a
// watched descriptor. False when the connection broke; the owner then
// closes it.
bool processPending(sd_bus* bus);

// A new method call with auto-start off: a service that is not running
// answers "not there" at once instead of being launched behind our back.
MessagePtr newMethodCall(sd_bus* bus, const MethodTarget& target, BusError& error);

// Sends `call` and waits at most `timeout` for its reply, including whatever
// is left of the connection's handshake. Returns the reply, or nullptr with
// `error` set (an error reply from the peer is a failure too).
MessagePtr callWithTimeout(sd_bus* bus, sd_bus_message* call, std::chrono::microseconds timeout,
                           BusError& error);

// Builds, sends and waits in one go; `types` and `args` as for
// sd_bus_message_append().
template <class... Args>
MessagePtr callMethod(sd_bus* bus, const MethodTarget& target, std::chrono::microseconds timeout,
                      BusError& error, const char* types, Args... args) {
    MessagePtr call = newMethodCall(bus, target, error);
    if (!call) return nullptr;
    if (types && *types) {
        int r = sd_bus_message_append(call.get(), types, args...);
        if (r < 0) {
            error.set(-r, "could not build the call");
            return nullptr;
        }
    }
    return callWithTimeout(bus, call.get(), timeout, error);
}

// org.freedesktop.DBus.ListNames: every name currently on the bus.
std::optional<std::vector<std::string>> listNames(sd_bus* bus, std::chrono::microseconds timeout,
                                                  BusError& error);

// org.freedesktop.DBus.NameHasOwner; nullopt when the question failed.
std::optional<bool> nameHasOwner(sd_bus* bus, const std::string& name, std::chrono::microseconds timeout,
                                 BusError& error);

}  // namespace vigilo::dbus
