#include "app/keep_awake_mode.h"

#include <gtest/gtest.h>

#include <chrono>

namespace vigilo {
namespace {

using std::chrono::seconds;

TEST(KeepAwakeMode, TimersAreEqualOnlyWithTheSameEnd) {
    const WallTime end = WallTime{} + seconds(1'800'000'000);
    EXPECT_EQ(KeepAwakeMode::timer(end), KeepAwakeMode::timer(end));
    EXPECT_NE(KeepAwakeMode::timer(end), KeepAwakeMode::timer(end + seconds(1)));
    EXPECT_NE(KeepAwakeMode::timer(end), KeepAwakeMode::on());
    // Even a timer ending at the epoch is still a timer.
    EXPECT_NE(KeepAwakeMode::timer(WallTime{}), KeepAwakeMode::on());
    EXPECT_NE(KeepAwakeMode::timer(WallTime{}), KeepAwakeMode::off());
}

TEST(KeepAwakeMode, EveryOtherModeEqualsOnlyItself) {
    const KeepAwakeMode all[] = {KeepAwakeMode::off(), KeepAwakeMode::on(), KeepAwakeMode::chargingOnly(),
                                 KeepAwakeMode::autoWatch(), KeepAwakeMode::runCommand()};
    for (std::size_t i = 0; i < std::size(all); ++i) {
        for (std::size_t j = 0; j < std::size(all); ++j) EXPECT_EQ(all[i] == all[j], i == j) << i << " " << j;
    }
}

TEST(KeepAwakeMode, ShortLabelsAndTimerEnd) {
    const WallTime end = WallTime{} + seconds(42);
    EXPECT_EQ(KeepAwakeMode::timer(end).shortLabel(), "Timer Active");
    EXPECT_EQ(KeepAwakeMode::off().shortLabel(), "Awake Off");
    EXPECT_EQ(KeepAwakeMode::on().shortLabel(), "Awake On");
    EXPECT_EQ(KeepAwakeMode::chargingOnly().shortLabel(), "Charging Only");
    EXPECT_EQ(KeepAwakeMode::autoWatch().shortLabel(), "Auto Mode");
    EXPECT_EQ(KeepAwakeMode::runCommand().shortLabel(), "Running Task");

    EXPECT_EQ(KeepAwakeMode::timer(end).expiresAt(), end);
    EXPECT_EQ(KeepAwakeMode::on().expiresAt(), std::nullopt);
    EXPECT_TRUE(KeepAwakeMode::autoWatch().is(KeepAwakeMode::Kind::autoWatch));
}

}  // namespace
}  // namespace vigilo
