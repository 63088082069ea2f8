#include "platform/linux/safety/upower_power_sources.h"

#include <cmath>

#include "platform/linux/safety/upower_device.h"

namespace vigilo {

namespace {

constexpr const char* kService = "org.freedesktop.UPower";
constexpr const char* kDaemonPath = "/org/freedesktop/UPower";
constexpr const char* kDisplayDevicePath = "/org/freedesktop/UPower/devices/DisplayDevice";
constexpr const char* kDaemonInterface = "org.freedesktop.UPower";
constexpr const char* kDeviceInterface = "org.freedesktop.UPower.Device";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";

}  // namespace

UPowerPowerSources::UPowerPowerSources(Loop& loop) : loop_(loop) {}

UPowerPowerSources::~UPowerPowerSources() { disconnect(); }

bool UPowerPowerSources::connect() {
    if (bus_) return true;
    dbus::BusError error;
    bus_ = dbus::openBus(dbus::BusKind::system, error);
    if (!bus_) return false;
    if (!addMatch(kDisplayDevicePath, deviceMatch_) || !addMatch(kDaemonPath, daemonMatch_)) {
        disconnect();
        return false;
    }
    int fd = sd_bus_get_fd(bus_.get());
    if (fd < 0) {
        disconnect();
        return false;
    }
    busWatch_ = loop_.watchReadable(fd, [this, alive = life_.weak()] {
        if (alive.lock()) drain();
    });
    return true;
}

bool UPowerPowerSources::addMatch(const char* path, SlotPtr& slot) {
    // Sent without waiting: the next call on the connection is answered only
    // after the bus has taken the match, so no change slips in between.
    sd_bus_slot* raw = nullptr;
    int r = sd_bus_match_signal_async(bus_.get(), &raw, kService, path, kProperties, "PropertiesChanged",
                                      &UPowerPowerSources::onPropertiesChanged, nullptr, this);
    if (r < 0) return false;
    slot.reset(raw);
    return true;
}

void UPowerPowerSources::disconnect() {
    busWatch_.cancel();
    deviceMatch_.reset();
    daemonMatch_.reset();
    bus_.reset();
}

void UPowerPowerSources::drain() {
    if (bus_ && !dbus::processPending(bus_.get())) disconnect();
}

void UPowerPowerSources::scheduleDrain() {
    // A blocking call may have read signals off the socket that are still
    // queued; the descriptor will not wake us for them.
    loop_.post([this, alive = life_.weak()] {
        if (alive.lock()) drain();
    });
}

int UPowerPowerSources::onPropertiesChanged(sd_bus_message*, void* userdata, sd_bus_error*) {
    static_cast<UPowerPowerSources*>(userdata)->notifyWatchers();
    return 0;
}

void UPowerPowerSources::notifyWatchers() {
    auto watchers = watchers_;  // a watcher may stop watching
    for (auto& [id, watcher] : watchers) {
        if (watchers_.contains(id)) watcher();
    }
}

void UPowerPowerSources::noteFailure(const dbus::BusError& error) {
    if (error.connectionLost()) disconnect();
}

std::optional<std::vector<PowerSourceDescription>> UPowerPowerSources::copySources() {
    if (!connect()) return std::nullopt;
    dbus::BusError error;
    auto device = dbus::callMethod(bus_.get(), {kService, kDisplayDevicePath, kProperties, "GetAll"}, kCallTimeout,
                                   error, "s", kDeviceInterface);
    if (!device) {
        noteFailure(error);
        return std::nullopt;
    }
    auto onBattery = dbus::callMethod(bus_.get(), {kService, kDaemonPath, kProperties, "Get"}, kCallTimeout, error,
                                      "ss", kDaemonInterface, "OnBattery");
    if (!onBattery) noteFailure(error);
    scheduleDrain();

    auto display = UPowerDevice::fromProperties(device.get());
    if (!display) return std::nullopt;
    std::optional<bool> onBatteryValue;
    if (onBattery) onBatteryValue = UPowerDevice::booleanVariant(onBattery.get());
    return display->describe(onBatteryValue);
}

std::optional<Handle> UPowerPowerSources::watchChanges(std::function<void()> onChange) {
    if (!connect()) return std::nullopt;
    auto id = nextWatcher_++;
    watchers_.emplace(id, std::move(onChange));
    return Handle([this, id, alive = life_.weak()] {
        if (alive.lock()) watchers_.erase(id);
    });
}

}  // namespace vigilo
