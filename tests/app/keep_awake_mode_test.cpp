#include "app/keep_awake_mode.h"

#include <gtest/gtest.h>

#include <chrono>

namespace vigilo {
namespace {

using std::chrono::seconds;

TEST(KeepAwakeMode, EachModeEqualsOnlyItselfAndTimersOnlyWithTheSameEnd) {
    const WallTime end = WallTime{} + seconds(1'800'000'000);
    // A timer ending at the epoch is still a timer.
    const KeepAwakeMode all[] = {KeepAwakeMode::off(),        KeepAwakeMode::on(),
                                 KeepAwakeMode::chargingOnly(), KeepAwakeMode::autoWatch(),
                                 KeepAwakeMode::runCommand(), KeepAwakeMode::timer(end),
                                 KeepAwakeMode::timer(end + seconds(1)), KeepAwakeMode::timer(WallTime{})};
    for (std::size_t i = 0; i < std::size(all); ++i) {
        for (std::size_t j = 0; j < std::size(all); ++j) EXPECT_EQ(all[i] == all[j], i == j) << i << " " << j;
    }
    EXPECT_EQ(KeepAwakeMode::timer(end), KeepAwakeMode::timer(end));
    EXPECT_EQ(KeepAwakeMode::timer(end).expiresAt(), end);
    EXPECT_EQ(KeepAwakeMode::on().expiresAt(), std::nullopt);
}

TEST(KeepAwakeMode, ShortLabels) {
    const std::pair<KeepAwakeMode, const char*> cases[] = {
        {KeepAwakeMode::timer(WallTime{}), "Timer Active"}, {KeepAwakeMode::off(), "Awake Off"},
        {KeepAwakeMode::on(), "Awake On"},                  {KeepAwakeMode::chargingOnly(), "Charging Only"},
        {KeepAwakeMode::autoWatch(), "Auto Mode"},          {KeepAwakeMode::runCommand(), "Running Task"},
    };
    for (const auto& [mode, label] : cases) EXPECT_EQ(mode.shortLabel(), label);
}

}  // namespace
}  // namespace vigilo
