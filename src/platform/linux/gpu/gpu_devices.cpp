#include "platform/linux/gpu/gpu_devices.h"

#include <algorithm>

#include "platform/linux/safety/sysfs_attribute.h"

namespace vigilo {
namespace {

// "card0", not a connector such as "card0-DP-1" nor a render node.
bool isCardName(const std::string& name) {
    return name.size() > 4 && name.starts_with("card") &&
           std::all_of(name.begin() + 4, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::vector<std::string> nvidiaDisplayDevices(const std::filesystem::path& sysRoot) {
    std::vector<std::string> devices;
    for (const auto& device : listFolder(sysRoot / "bus/pci/devices")) {
        const auto vendor = readAttribute(device / "vendor");
        const auto kind = readAttribute(device / "class");
        if (vendor == "0x10de" && kind && kind->starts_with("0x03")) devices.push_back(device.filename().string());
    }
    return devices;
}

bool isRuntimeSuspended(const std::filesystem::path& sysRoot, const std::string& pciAddress) {
    return readAttribute(sysRoot / "bus/pci/devices" / pciAddress / "power/runtime_status") == "suspended";
}

std::optional<double> busiestAmdgpuPercent(const std::filesystem::path& sysRoot) {
    std::optional<double> busiest;
    for (const auto& card : listFolder(sysRoot / "class/drm")) {
        const auto file = card / "device/gpu_busy_percent";
        std::error_code error;
        if (!isCardName(card.filename().string()) || !std::filesystem::exists(file, error)) continue;
        // Reading the figure would wake a sleeping GPU, which is idle anyway.
        if (readAttribute(card / "device/power/runtime_status") == "suspended") {
            busiest = std::max(busiest.value_or(0.0), 0.0);
            continue;
        }
        const auto percent = readIntegerAttribute(file);
        if (!percent || *percent < 0 || *percent > 100) continue;
        busiest = std::max(busiest.value_or(0.0), static_cast<double>(*percent));
    }
    return busiest;
}

}  // namespace vigilo
