#include "platform/linux/safety/sysfs_power_sources.h"

#include <system_error>
#include <utility>

#include "platform/linux/safety/sysfs_attribute.h"

namespace vigilo {

namespace {

namespace fs = std::filesystem;

struct Capacity {
    std::int64_t current;
    std::int64_t max;
};

// Both halves of one pair, so energy (µWh) and charge (µAh) never mix.
std::optional<Capacity> capacityPair(const fs::path& supply, const char* now, const char* full) {
    auto current = readIntegerAttribute(supply / now);
    auto max = readIntegerAttribute(supply / full);
    if (!current || !max || *current < 0 || *max < 1) return std::nullopt;
    return Capacity{*current, *max};
}

std::optional<Capacity> capacityOf(const fs::path& supply) {
    if (auto energy = capacityPair(supply, "energy_now", "energy_full")) return energy;
    if (auto charge = capacityPair(supply, "charge_now", "charge_full")) return charge;
    if (auto percent = readIntegerAttribute(supply / "capacity"); percent && *percent >= 0) {
        return Capacity{*percent, 100};
    }
    return std::nullopt;
}

bool isSystemBattery(const fs::path& supply) {
    if (readAttribute(supply / "type") != "Battery") return false;
    if (readAttribute(supply / "scope") == "Device") return false;
    return readAttribute(supply / "present") != "0";
}

bool isOnlineCharger(const fs::path& supply) {
    auto type = readAttribute(supply / "type");
    if (!type || (*type != "Mains" && !type->starts_with("USB"))) return false;
    return readIntegerAttribute(supply / "online") == 1;
}

PowerSourceDescription describeBattery(const fs::path& supply, bool onAC) {
    PowerSourceDescription battery;
    battery[std::string(power_source_key::type)] = std::string(power_source_value::internalBattery);
    if (auto capacity = capacityOf(supply)) {
        battery[std::string(power_source_key::currentCapacity)] = capacity->current;
        battery[std::string(power_source_key::maxCapacity)] = capacity->max;
    }
    battery[std::string(power_source_key::powerSourceState)] =
        std::string(onAC ? power_source_value::acPower : power_source_value::batteryPower);
    battery[std::string(power_source_key::isCharging)] = readAttribute(supply / "status") == "Charging";
    return battery;
}

}  // namespace

SysfsPowerSources::SysfsPowerSources(fs::path root) : root_(std::move(root)) {}

std::optional<std::vector<PowerSourceDescription>> SysfsPowerSources::copySources() {
    std::error_code error;
    if (!fs::is_directory(root_, error)) return std::nullopt;
    auto supplies = listFolder(root_);
    bool onAC = false;
    for (const auto& supply : supplies) onAC = onAC || isOnlineCharger(supply);

    std::vector<PowerSourceDescription> sources;
    for (const auto& supply : supplies) {
        if (isSystemBattery(supply)) {
            sources.push_back(describeBattery(supply, onAC));
            break;
        }
    }
    for (const auto& supply : supplies) {
        if (readAttribute(supply / "type") == "UPS") {
            sources.push_back({{std::string(power_source_key::type), std::string(power_source_value::ups)}});
        }
    }
    return sources;
}

std::optional<Handle> SysfsPowerSources::watchChanges(std::function<void()>) {
    // Registered, but never fires: the monitor's 10-second poll covers it.
    return Handle([] {});
}

}  // namespace vigilo
