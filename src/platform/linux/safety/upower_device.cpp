#include "platform/linux/safety/upower_device.h"

#include <systemd/sd-bus.h>

#include <cmath>
#include <cstring>
#include <string>

namespace vigilo {

namespace {

enum class VariantRead { read, skipped, failed };

// Reads the variant at the cursor if it holds `signature`; skips it otherwise.
template <class T>
VariantRead readVariant(sd_bus_message* message, const char* signature, T& value) {
    char type = 0;
    const char* contents = nullptr;
    if (sd_bus_message_peek_type(message, &type, &contents) <= 0 || type != SD_BUS_TYPE_VARIANT) {
        return VariantRead::failed;
    }
    if (contents && std::strcmp(contents, signature) == 0) {
        return sd_bus_message_read(message, "v", signature, &value) > 0 ? VariantRead::read : VariantRead::failed;
    }
    return sd_bus_message_skip(message, "v") >= 0 ? VariantRead::skipped : VariantRead::failed;
}

template <class T, class Field>
bool readInto(sd_bus_message* message, const char* signature, Field& field) {
    T value{};
    auto result = readVariant(message, signature, value);
    if (result == VariantRead::read) field = value;
    return result != VariantRead::failed;
}

bool readEntry(sd_bus_message* message, UPowerDevice& device) {
    const char* name = nullptr;
    if (sd_bus_message_read(message, "s", &name) <= 0 || !name) return false;
    std::string key(name);
    if (key == "Type") return readInto<std::uint32_t>(message, "u", device.type);
    if (key == "State") return readInto<std::uint32_t>(message, "u", device.state);
    if (key == "Percentage") return readInto<double>(message, "d", device.percentage);
    if (key == "IsPresent") {
        int present = 0;
        auto result = readVariant(message, "b", present);
        if (result == VariantRead::read) device.isPresent = present != 0;
        return result != VariantRead::failed;
    }
    return sd_bus_message_skip(message, "v") >= 0;
}

}  // namespace

std::optional<UPowerDevice> UPowerDevice::fromProperties(sd_bus_message* reply) {
    if (sd_bus_message_enter_container(reply, SD_BUS_TYPE_ARRAY, "{sv}") <= 0) return std::nullopt;
    UPowerDevice device;
    int r;
    while ((r = sd_bus_message_enter_container(reply, SD_BUS_TYPE_DICT_ENTRY, "sv")) > 0) {
        if (!readEntry(reply, device) || sd_bus_message_exit_container(reply) < 0) return std::nullopt;
    }
    if (r < 0 || sd_bus_message_exit_container(reply) < 0) return std::nullopt;
    return device;
}

std::optional<bool> UPowerDevice::booleanVariant(sd_bus_message* reply) {
    int value = 0;
    if (readVariant(reply, "b", value) != VariantRead::read) return std::nullopt;
    return value != 0;
}

std::vector<PowerSourceDescription> UPowerDevice::describe(std::optional<bool> onBattery) const {
    std::vector<PowerSourceDescription> sources;
    if (type == kTypeUps) {
        sources.push_back({{std::string(power_source_key::type), std::string(power_source_value::ups)}});
        return sources;
    }
    if (type != kTypeBattery || isPresent != true) return sources;

    PowerSourceDescription battery;
    battery[std::string(power_source_key::type)] = std::string(power_source_value::internalBattery);
    // Out of range or not a number: leave it out and let the reader's
    // defaults decide, rather than cast nonsense to an integer.
    if (percentage && std::isfinite(*percentage) && std::fabs(*percentage) < 1e6) {
        battery[std::string(power_source_key::currentCapacity)] = static_cast<std::int64_t>(std::trunc(*percentage));
        battery[std::string(power_source_key::maxCapacity)] = std::int64_t{100};
    }
    battery[std::string(power_source_key::powerSourceState)] =
        std::string(onBattery == false ? power_source_value::acPower : power_source_value::batteryPower);
    battery[std::string(power_source_key::isCharging)] = state == kStateCharging;
    sources.push_back(std::move(battery));
    return sources;
}

}  // namespace vigilo
