#include "app/power_assertion_manager.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/log_capture.h"
#include "fake_power_management.h"

namespace vigilo {
namespace {

const std::string kReason = "Vigilo keeping system awake";

using testing::FakePowerManagement;
using Lines = std::vector<std::string>;

struct PowerAssertionManagerTest : ::testing::Test {
    testing::LogCapture logs;
    FakePowerManagement power;
    std::optional<PowerAssertionManager> manager{std::in_place, power};
};

TEST_F(PowerAssertionManagerTest, StartIsIdempotentAndTheDisplayAssertionComesAndGoesAlone) {
    manager->start(false, kReason);
    manager->start(false, kReason);
    EXPECT_EQ(power.created, std::vector<AssertionKind>{AssertionKind::systemSleep});
    EXPECT_EQ(power.names, std::vector<std::string>{kReason});
    EXPECT_FALSE(manager->holdsDisplayAssertion());

    manager->start(true, kReason);
    EXPECT_EQ(power.created, (std::vector<AssertionKind>{AssertionKind::systemSleep, AssertionKind::displaySleep}));
    EXPECT_TRUE(manager->holdsDisplayAssertion());

    manager->start(false, kReason);
    EXPECT_EQ(power.released, std::vector<AssertionId>{102});
    EXPECT_TRUE(manager->holdsSystemAssertion());
    EXPECT_FALSE(manager->holdsDisplayAssertion());
    EXPECT_EQ(logs.lines(), (Lines{"PowerAssertion: Created system-sleep assertion id=101",
                                   "PowerAssertion: Created display-sleep assertion id=102",
                                   "PowerAssertion: Released display-sleep assertion id=102 result=0"}));
}

TEST_F(PowerAssertionManagerTest, ReleaseAllReleasesSystemThenDisplay) {
    manager->start(true, kReason);
    logs.clear();
    power.releaseResult = -5;  // a failed release still clears the flags
    manager->releaseAll();
    EXPECT_EQ(power.released, (std::vector<AssertionId>{101, 102}));
    EXPECT_FALSE(manager->holdsSystemAssertion());
    EXPECT_FALSE(manager->holdsDisplayAssertion());
    EXPECT_EQ(logs.lines(), (Lines{"PowerAssertion: Released system-sleep assertion id=101 result=-5",
                                   "PowerAssertion: Released display-sleep assertion id=102 result=-5"}));

    // Holding again takes fresh assertions, and destruction gives them back.
    manager->start(true, kReason);
    EXPECT_EQ(power.held.size(), 2u);
    EXPECT_EQ(power.held.begin()->first, 103u);
    manager.reset();
    EXPECT_TRUE(power.held.empty());
}

TEST_F(PowerAssertionManagerTest, NothingHeldMeansNoCallAndNoLog) {
    manager->releaseAll();
    manager->start(false, kReason);
    manager->releaseAll();
    logs.clear();
    power.released.clear();
    manager->releaseAll();
    manager.reset();  // nor does destruction with nothing held
    EXPECT_TRUE(power.released.empty());
    EXPECT_TRUE(logs.lines().empty());
}

TEST_F(PowerAssertionManagerTest, AFailedSystemAssertionStillTriesTheDisplayAndIsTriedAgainAlone) {
    power.failures[AssertionKind::systemSleep] = 13;
    manager->start(true, kReason);
    EXPECT_FALSE(manager->holdsSystemAssertion());
    EXPECT_TRUE(manager->holdsDisplayAssertion());
    EXPECT_EQ(logs.lines(), (Lines{"PowerAssertion: error: Failed to create system-sleep assertion: 13",
                                   "PowerAssertion: Created display-sleep assertion id=101"}));

    power.failures.clear();
    manager->start(true, kReason);
    EXPECT_TRUE(manager->holdsSystemAssertion());
    EXPECT_EQ(power.created.size(), 3u);
    manager->releaseAll();
    EXPECT_TRUE(power.held.empty());
}

TEST_F(PowerAssertionManagerTest, BothFailuresLeaveNothingHeld) {
    power.failures[AssertionKind::systemSleep] = 1;
    power.failures[AssertionKind::displaySleep] = 2;
    manager->start(true, kReason);
    EXPECT_FALSE(manager->holdsSystemAssertion() || manager->holdsDisplayAssertion());
    EXPECT_EQ(logs.lines(), (Lines{"PowerAssertion: error: Failed to create system-sleep assertion: 1",
                                   "PowerAssertion: error: Failed to create display-sleep assertion: 2"}));
    logs.clear();
    manager->releaseAll();
    EXPECT_TRUE(power.released.empty());
    EXPECT_TRUE(logs.lines().empty());
}

}  // namespace
}  // namespace vigilo
