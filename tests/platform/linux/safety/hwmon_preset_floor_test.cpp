#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/fake_privileged_runner.h"
#include "common/temp_dir.h"
#include "platform/linux/safety/hwmon_smc_transport.h"
#include "safety/cooling_manager.h"
#include "safety/restore_record.h"
#include "safety/smc.h"

namespace vigilo {
namespace {

// A duty cycle of 0 stops many fans: whatever a preset asks of a pwm fan,
// what reaches the helper is at least the chip's own floor, and never below
// a fifth of full scale.
TEST(HwmonPresetFloor, NoPresetDrivesAPwmFanBelowItsFloor) {
    struct Chip {
        const char* why;
        std::map<std::string, std::string> floors;
        const char* quiet;
    };
    const std::vector<Chip> chips{
        {"the chip's own first curve point", {{"pwm1_auto_point1_pwm", "100"}, {"pwm1_floor", "90"}}, "100"},
        {"a curve that stops the fan when cool", {{"pwm1_auto_point1_pwm", "0"}, {"pwm1_floor", "90"}}, "51"},
        {"the chip's floor", {{"pwm1_floor", "60"}}, "60"},
        {"a floor below a fifth of full scale", {{"pwm1_floor", "20"}}, "51"},
        {"an unreadable curve point", {{"pwm1_auto_point1_pwm", "cool"}, {"pwm1_floor", "64"}}, "64"},
        {"nothing from the chip", {}, "77"},
    };
    testing::TempDir root;
    testing::TempDir data;
    for (std::size_t n = 0; n < chips.size(); ++n) {
        const std::string folder = "hwmon" + std::to_string(n);
        std::map<std::string, std::string> files{{"name", "nct6798"},     {"fan1_input", "900"}, {"fan1_min", "300"},
                                                 {"fan1_max", "2300"},    {"pwm1", "120"},       {"pwm1_enable", "5"}};
        files.insert(chips[n].floors.begin(), chips[n].floors.end());
        for (const auto& [name, value] : files) root.write(folder + "/" + name, value + "\n");
    }
    testing::FakePrivilegedRunner helper;
    RestoreRecord record{data.path()};
    PrivilegedFanWriter writer{helper, record};
    HwmonSMCTransport transport{root.path(), &writer};
    SMC smc{transport};

    // The last argument is the value written; the rest names the fan.
    auto valuesWritten = [&](FanPreset preset) {
        helper.calls.clear();
        CoolingManager::runPreset(smc, preset);
        std::vector<std::string> values;
        for (const auto& call : helper.calls) values.push_back(call.back());
        return values;
    };
    const auto quiet = valuesWritten(FanPreset::quiet);
    ASSERT_EQ(quiet.size(), chips.size());
    for (std::size_t n = 0; n < chips.size(); ++n) EXPECT_EQ(quiet[n], chips[n].quiet) << chips[n].why;
    // 70 % of the way from 300 to 2300 rpm, and full speed: above every floor.
    EXPECT_EQ(valuesWritten(FanPreset::aiWorkload), std::vector<std::string>(chips.size(), "179"));
    EXPECT_EQ(valuesWritten(FanPreset::emergencyMax), std::vector<std::string>(chips.size(), "255"));
}

}  // namespace
}  // namespace vigilo
