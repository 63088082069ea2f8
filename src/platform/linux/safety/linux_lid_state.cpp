#include "platform/linux/safety/linux_lid_state.h"

#include <string>

#include "platform/linux/safety/sysfs_attribute.h"
#include "platform/linux/safety/upower_device.h"
#include "support/utf8_text.h"

namespace vigilo {

namespace {

constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr dbus::MethodTarget kUPowerProperty{"org.freedesktop.UPower", "/org/freedesktop/UPower", kProperties, "Get"};
constexpr dbus::MethodTarget kLogindProperty{"org.freedesktop.login1", "/org/freedesktop/login1", kProperties, "Get"};

}  // namespace

LinuxLidState::LinuxLidState(std::filesystem::path procRoot) : procRoot_(std::move(procRoot)) {}

std::optional<bool> LinuxLidState::isClosed() {
    auto present = busBoolean(kUPowerProperty, "org.freedesktop.UPower", "LidIsPresent");
    if (!present) present = acpiLidPresent();
    if (present != true) return std::nullopt;
    auto closed = busBoolean(kLogindProperty, "org.freedesktop.login1.Manager", "LidClosed");
    return closed ? closed : acpiLidClosed();
}

std::optional<bool> LinuxLidState::busBoolean(const dbus::MethodTarget& target, const char* interface,
                                              const char* property) {
    dbus::BusError error;
    if (!bus_) bus_ = dbus::openBus(dbus::BusKind::system, error);
    if (!bus_) return std::nullopt;
    auto reply = dbus::callMethod(bus_.get(), target, kCallTimeout, error, "ss", interface, property);
    if (!reply) {
        if (error.connectionLost()) bus_.reset();
        return std::nullopt;
    }
    // Nothing here listens for signals: let whatever else arrived go rather
    // than pile up on a connection that lives as long as we do.
    dbus::processPending(bus_.get());
    return UPowerDevice::booleanVariant(reply.get());
}

std::optional<bool> LinuxLidState::acpiLidPresent() const {
    return !listFolder(procRoot_ / "acpi" / "button" / "lid").empty();
}

std::optional<bool> LinuxLidState::acpiLidClosed() const {
    for (const auto& lid : listFolder(procRoot_ / "acpi" / "button" / "lid")) {
        auto line = readAttribute(lid / "state");
        if (!line) continue;
        if (auto closed = parseAcpiState(*line)) return closed;
    }
    return std::nullopt;
}

std::optional<bool> LinuxLidState::parseAcpiState(std::string_view line) {
    constexpr std::string_view kLabel = "state:";
    if (line.substr(0, kLabel.size()) != kLabel) return std::nullopt;
    auto value = trimmedWhitespace(line.substr(kLabel.size()));
    if (value == "open") return false;
    if (value == "closed") return true;
    return std::nullopt;
}

}  // namespace vigilo
