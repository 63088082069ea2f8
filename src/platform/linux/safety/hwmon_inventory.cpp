#include "platform/linux/safety/hwmon_inventory.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <system_error>
#include <tuple>

#include "platform/helper_verbs.h"
#include "platform/linux/safety/sysfs_attribute.h"

namespace vigilo {

namespace {

namespace fs = std::filesystem;

// Die sensors, processors before graphics; the rank orders the chips.
constexpr std::array<std::string_view, 9> kDieSensorChips{
    "coretemp", "k10temp", "zenpower", "cpu_thermal", "x86_pkg_temp", "soc_thermal", "amdgpu", "radeon", "nouveau"};

bool fileExists(const fs::path& file) {
    std::error_code error;
    return fs::exists(file, error);
}

// N of "<prefix>N<suffix>", or nothing.
std::optional<int> indexIn(std::string_view name, std::string_view prefix, std::string_view suffix) {
    if (!name.starts_with(prefix) || !name.ends_with(suffix)) return std::nullopt;
    auto digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (digits.empty() || digits.size() > 3 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return static_cast<int>(*parseInteger(digits));
}

std::vector<int> indices(const fs::path& chip, std::string_view prefix, std::string_view suffix) {
    std::vector<int> found;
    for (const auto& file : listFolder(chip)) {
        if (auto n = indexIn(file.filename().string(), prefix, suffix)) found.push_back(*n);
    }
    std::sort(found.begin(), found.end());
    return found;
}

struct Chip {
    std::string name;
    fs::path path;
};

std::vector<Chip> chipsByName(const fs::path& root) {
    std::vector<Chip> chips;
    for (const auto& path : listFolder(root)) {
        if (auto name = readAttribute(path / "name")) chips.push_back({*name, path});
    }
    std::sort(chips.begin(), chips.end(),
              [](const Chip& a, const Chip& b) { return std::tie(a.name, a.path) < std::tie(b.name, b.path); });
    return chips;
}

void addFans(const Chip& chip, std::vector<HwmonInventory::Fan>& fans) {
    for (int n : indices(chip.path, "fan", "_input")) {
        HwmonInventory::Fan fan{chip.path, n};
        fan.hasPwm = fileExists(fan.pwmFile()) && fileExists(fan.pwmFile("_enable"));
        fan.hasTarget = fileExists(fan.fanFile("target"));
        fan.hasAppleSmc = fileExists(fan.fanFile("manual")) && fileExists(fan.fanFile("output"));
        if (fan.hasPwm || fan.hasTarget || fan.hasAppleSmc) fans.push_back(fan);
    }
}

std::size_t dieRank(const std::string& chipName) {
    return static_cast<std::size_t>(std::find(kDieSensorChips.begin(), kDieSensorChips.end(), chipName) -
                                    kDieSensorChips.begin());
}

}  // namespace

fs::path HwmonInventory::Fan::fanFile(const std::string& suffix) const {
    return chip / ("fan" + std::to_string(index) + "_" + suffix);
}

fs::path HwmonInventory::Fan::pwmFile(const std::string& suffix) const {
    return chip / ("pwm" + std::to_string(index) + suffix);
}

std::int64_t HwmonInventory::Fan::lowestPresetPwm() const {
    // Three tenths of full scale, rounded up: where the chip says nothing,
    // a duty cycle most fans still turn at.
    constexpr std::int64_t kUnknownFloor = 77;
    // What the chip itself runs the fan at when cool, or keeps it above, is
    // known to keep this fan turning; but a chip may be set to stop a cool
    // fan (0 there), which a forced duty cycle must never do.
    for (const char* suffix : {"_auto_point1_pwm", "_floor"}) {
        const auto own = readIntegerAttribute(pwmFile(suffix));
        if (own && *own >= 0 && *own <= kFanFullScalePwm) return std::max<std::int64_t>(*own, kFanLowestManualPwm);
    }
    return kUnknownFloor;
}

HwmonInventory HwmonInventory::scan(const fs::path& root) {
    HwmonInventory inventory;
    auto chips = chipsByName(root);
    for (const auto& chip : chips) addFans(chip, inventory.fans);

    std::stable_sort(chips.begin(), chips.end(),
                     [](const Chip& a, const Chip& b) { return dieRank(a.name) < dieRank(b.name); });
    for (const auto& chip : chips) {
        if (dieRank(chip.name) == kDieSensorChips.size()) break;
        for (int n : indices(chip.path, "temp", "_input")) {
            inventory.temperatureInputs.push_back(chip.path / ("temp" + std::to_string(n) + "_input"));
        }
    }
    return inventory;
}

}  // namespace vigilo
