#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vigilo {

// The controllable fans and the processor and graphics die sensors found
// under the hardware-monitoring class (/sys/class/hwmon). Chips are ordered
// by their `name`, not by their hwmonN number, which changes between boots.
struct HwmonInventory {
    struct Fan {
        std::filesystem::path chip;
        int index = 1;  // the N of fanN_input
        bool hasPwm = false;        // pwmN and pwmN_enable
        bool hasTarget = false;     // fanN_target
        bool hasAppleSmc = false;   // the applesmc driver's fanN_manual and fanN_output

        // chip/fanN_<suffix>
        std::filesystem::path fanFile(const std::string& suffix) const;
        // chip/pwmN<suffix>
        std::filesystem::path pwmFile(const std::string& suffix = "") const;
        // The lowest duty cycle (of 255) a preset gives this fan: the
        // chip's own pwmN_auto_point1_pwm, else its pwmN_floor, never below
        // a fifth of full scale; three tenths where the chip names neither.
        std::int64_t lowestPresetPwm() const;
    };

    std::vector<Fan> fans;
    std::vector<std::filesystem::path> temperatureInputs;  // tempN_input files, best first

    // Scans `root`; an empty inventory when it cannot be read.
    static HwmonInventory scan(const std::filesystem::path& root);
    bool empty() const { return fans.empty() && temperatureInputs.empty(); }
};

}  // namespace vigilo
