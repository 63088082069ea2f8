#include "safety/fan_controller.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "support/log.h"

namespace vigilo::FanController {

namespace {

std::optional<double> readNumber(SMC& smc, const std::string& key) {
    auto value = smc.read(key);
    if (!value) return std::nullopt;
    return SMCDecode::number(*value);
}

}  // namespace

std::string fanKey(int fan, const char* suffix) { return fmt::format("F{}{}", fan, suffix); }

int count(SMC& smc) {
    auto fans = readNumber(smc, "FNum");
    // Also catches NaN, which compares false.
    if (!fans || !(*fans >= 0)) return 0;
    return static_cast<int>(std::min(std::trunc(*fans), static_cast<double>(kMaxFans)));
}

std::vector<Reading> readAll(SMC& smc) {
    std::vector<Reading> readings;
    const int fans = count(smc);
    for (int n = 0; n < fans; ++n) {
        auto actual = readNumber(smc, fanKey(n, "Ac"));
        if (!actual) continue;
        auto minimum = readNumber(smc, fanKey(n, "Mn")).value_or(0);
        auto maximum = readNumber(smc, fanKey(n, "Mx")).value_or(0);
        auto target = readNumber(smc, fanKey(n, "Tg")).value_or(*actual);
        readings.push_back(Reading{n, *actual, minimum, maximum, target});
    }
    return readings;
}

std::optional<std::array<std::uint8_t, 2>> encodeFpe2(double rpm) {
    // std::round rounds halves away from zero.
    double scaled = std::round(rpm * 4.0);
    if (!(scaled >= 0.0 && scaled <= 65535.0)) return std::nullopt;
    auto v = static_cast<std::uint16_t>(scaled);
    return std::array<std::uint8_t, 2>{static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v & 0xFF)};
}

bool setTarget(SMC& smc, int fan, double rpm) {
    double minimum = readNumber(smc, fanKey(fan, "Mn")).value_or(0);
    double maximum = readNumber(smc, fanKey(fan, "Mx")).value_or(rpm);
    double target = std::min(maximum, std::max(rpm, minimum));

    auto encoded = encodeFpe2(target);
    if (!encoded) {
        Logger("Cooling").error("fan {} target {} rpm cannot be sent, not written", fan, target);
        return false;
    }
    const std::uint8_t forced[] = {1};
    bool modeWritten = smc.write(fanKey(fan, "Md"), "ui8 ", forced);
    bool targetWritten = smc.write(fanKey(fan, "Tg"), "fpe2", *encoded);
    return modeWritten && targetWritten;
}

bool setAutomatic(SMC& smc, int fan) {
    const std::uint8_t automatic[] = {0};
    return smc.write(fanKey(fan, "Md"), "ui8 ", automatic);
}

}  // namespace vigilo::FanController
