#include "platform/linux/network/network_manager_monitor.h"


#include "support/log.h"

namespace vigilo {

namespace {

constexpr auto kCallTimeout = std::chrono::seconds(1);
constexpr const char* kService = "org.freedesktop.NetworkManager";
constexpr const char* kPath = "/org/freedesktop/NetworkManager";
constexpr const char* kInterface = "org.freedesktop.NetworkManager";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";

// Reads an a{sv} of properties up to "State"; nullopt when it is not there.
std::optional<std::uint32_t> stateInProperties(sd_bus_message* message) {
    if (sd_bus_message_enter_container(message, 'a', "{sv}") < 0) return std::nullopt;
    std::optional<std::uint32_t> state;
    while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
        const char* name = nullptr;
        if (sd_bus_message_read(message, "s", &name) < 0) break;
        std::uint32_t value = 0;
        if (std::strcmp(name, "State") == 0 && sd_bus_message_read(message, "v", "u", &value) >= 0) {
            state = value;
        } else if (sd_bus_message_skip(message, "v") < 0) {
            break;
        }
        if (sd_bus_message_exit_container(message) < 0) break;
    }
    return state;
}

}  // namespace

NetworkManagerMonitor::~NetworkManagerMonitor() { stop(); }

bool NetworkManagerMonitor::isRunning() {
    dbus::BusError error;
    auto bus = dbus::openBus(dbus::BusKind::system, error);
    return bus && dbus::nameHasOwner(bus.get(), kService, kCallTimeout, error).value_or(false);
}

Handle NetworkManagerMonitor::start(std::function<void(bool up)> onChange) {
    stop();
    dbus::BusError error;
    bus_ = dbus::openBus(dbus::BusKind::system, error);
    if (!bus_) return {};
    sd_bus_slot* state = nullptr;
    sd_bus_slot* properties = nullptr;
    // Sent without waiting: the Get below is answered only after the bus
    // has taken both matches, so no change slips in between.
    if (sd_bus_match_signal_async(bus_.get(), &state, kService, kPath, kInterface, "StateChanged",
                                  &NetworkManagerMonitor::onStateChanged, nullptr, this) < 0 ||
        sd_bus_match_signal_async(bus_.get(), &properties, kService, kPath, nullptr, "PropertiesChanged",
                                  &NetworkManagerMonitor::onPropertiesChanged, nullptr, this) < 0) {
        if (state) sd_bus_slot_unref(state);
        stop();
        return {};
    }
    stateMatch_.reset(state);
    propertiesMatch_.reset(properties);

    auto reply = dbus::callMethod(bus_.get(), {kService, kPath, kProperties, "Get"}, kCallTimeout, error, "ss",
                                  kInterface, "State");
    std::uint32_t current = 0;
    if (!reply || sd_bus_message_read(reply.get(), "v", "u", &current) < 0) {
        Logger("Watchdog").error("NetworkManager state could not be read: {}", error.cause);
        stop();
        return {};
    }
    onChange_ = std::move(onChange);
    busWatch_ = loop_.watchReadable(sd_bus_get_fd(bus_.get()), [this, alive = life_.weak()] {
        if (alive.lock()) drain();
    });
    // Reported from the loop, like every later change; signals the call
    // above read off the socket are processed there too.
    loop_.post([this, current, alive = life_.weak()] {
        if (!alive.lock() || !onChange_) return;
        report(current);
        drain();
    });
    return Handle([this, alive = life_.weak()] {
        if (alive.lock()) stop();
    });
}

void NetworkManagerMonitor::stop() {
    busWatch_.cancel();
    stateMatch_.reset();
    propertiesMatch_.reset();
    bus_.reset();
    onChange_ = nullptr;
    lastUp_.reset();
}

void NetworkManagerMonitor::drain() {
    if (!bus_) return;
    if (!dbus::processPending(bus_.get())) {
        Logger("Watchdog").error("NetworkManager connection lost");
        busWatch_.cancel();
        bus_.reset();
    }
}

void NetworkManagerMonitor::report(std::uint32_t state) {
    const bool up = isUsable(state);
    if (lastUp_ == up || !onChange_) return;
    lastUp_ = up;
    onChange_(up);
}

int NetworkManagerMonitor::onStateChanged(sd_bus_message* message, void* userdata, sd_bus_error*) {
    std::uint32_t state = 0;
    if (sd_bus_message_read(message, "u", &state) >= 0) static_cast<NetworkManagerMonitor*>(userdata)->report(state);
    return 0;
}

int NetworkManagerMonitor::onPropertiesChanged(sd_bus_message* message, void* userdata, sd_bus_error*) {
    // org.freedesktop.DBus.Properties sends (s a{sv} as); NetworkManager's
    // own older signal on its interface sends (a{sv}).
    const char* signature = sd_bus_message_get_signature(message, 1);
    if (signature && signature[0] == 's') {
        const char* interface = nullptr;
        if (sd_bus_message_read(message, "s", &interface) < 0 || std::strcmp(interface, kInterface) != 0) return 0;
    }
    if (auto state = stateInProperties(message)) static_cast<NetworkManagerMonitor*>(userdata)->report(*state);
    return 0;
}

}  // namespace vigilo
