// The bus cases run when tests/integration/test_power_management.py starts
// its private buses: with dbusmock's logind ("logind"), with one that refuses
// the sleep lock ("logind-refuses-sleep") and with no logind at all ("bare").
// The drop-in case runs everywhere.
#include "platform/linux/power/logind_clamshell.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/fake_privileged_runner.h"
#include "common/log_capture.h"
#include "common/mockbus_scenario.h"
#include "common/temp_dir.h"
#include "platform/linux/power/logind_locks.h"

namespace vigilo {
namespace {

using testing::logindLocksSettledAt;

// The switch's answer; nullopt while it has not come. Every case here
// answers at once: the locks are taken there and then, and the fake helper
// answers before it returns.
std::optional<bool> switched(ClamshellControl& clamshell, bool disable, Consent consent) {
    std::optional<bool> answer;
    clamshell.setDisableSleep(disable, consent, [&](bool ok) { answer = ok; });
    return answer;
}

void expectOurTwoBlockLocks(const std::vector<LogindInhibitor>& locks) {
    ASSERT_EQ(locks.size(), 2u);
    EXPECT_EQ(locks[0].what, "handle-lid-switch");
    EXPECT_EQ(locks[1].what, "sleep");
    for (const auto& lock : locks) {
        EXPECT_EQ(lock.who, "Vigilo");
        EXPECT_EQ(lock.why, "Vigilo keeping the computer running with the lid closed");
        EXPECT_EQ(lock.mode, "block");
    }
}

TEST(LogindClamshellOnLogind, HoldsTwoSeparateBlockLocksUntilSwitchedOffOrDestroyed) {
    if (!testing::inMockBusScenario("logind")) GTEST_SKIP() << "needs the logind scenario of test_power_management.py";
    testing::LogCapture log;
    LogindClamshell clamshell;
    ASSERT_EQ(switched(clamshell, true, Consent::withoutAsking), true);
    EXPECT_EQ(switched(clamshell, true, Consent::withoutAsking), true) << "switching on twice keeps the locks";
    expectOurTwoBlockLocks(logindLocksSettledAt(2));

    EXPECT_EQ(switched(clamshell, false, Consent::withoutAsking), true);
    EXPECT_TRUE(logindLocksSettledAt(0).empty());
    EXPECT_TRUE(log.contains("Clamshell: logind lid locks taken"));
    EXPECT_TRUE(log.contains("Clamshell: logind lid locks released"));

    {
        LogindClamshell destroyed;
        ASSERT_EQ(switched(destroyed, true, Consent::withoutAsking), true);
        expectOurTwoBlockLocks(logindLocksSettledAt(2));
    }
    EXPECT_TRUE(logindLocksSettledAt(0).empty()) << "destruction releases the locks";
}

TEST(LogindClamshellOnBareBus, RefusalReturnsFalseAndHoldsNothing) {
    if (!testing::inMockBusScenario("bare")) GTEST_SKIP() << "needs the bare scenario of test_power_management.py";
    testing::LogCapture log;
    LogindClamshell clamshell;
    EXPECT_EQ(switched(clamshell, true, Consent::withoutAsking), false);
    EXPECT_EQ(switched(clamshell, true, Consent::withoutAsking), false) << "a refusal keeps nothing that would pass for the mode";
    bool logged = false;
    for (const auto& line : log.lines())
        logged = logged || line.starts_with("Clamshell: error: logind handle-lid-switch lock failed: ");
    EXPECT_TRUE(logged);
    EXPECT_FALSE(log.contains("Clamshell: logind lid locks released")) << "nothing was held";
    EXPECT_EQ(switched(clamshell, false, Consent::withoutAsking), true);
}

TEST(LogindClamshellOnBareBus, RefusedLocksFallBackToTheHelpersDropIn) {
    if (!testing::inMockBusScenario("bare")) GTEST_SKIP() << "needs the bare scenario of test_power_management.py";
    using Status = PrivilegedRunner::Result::Status;
    using Calls = std::vector<std::vector<std::string>>;
    const Calls on{{"lid-drop-in", "on"}}, onThenUndo{{"lid-drop-in", "on"}, {"lid-drop-in", "off"}};
    struct Case {
        Status answer;
        bool writes;  // the helper wrote the file whatever it answered
        bool switchedOn;
        Calls calls;
    };
    for (const Case& c : {Case{Status::done, true, true, on}, Case{Status::notAllowed, false, false, on},
                          Case{Status::busy, false, false, on}, Case{Status::failed, true, false, onThenUndo}}) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        testing::TempDir run;
        testing::FakePrivilegedRunner helper;
        LogindClamshell clamshell(run.path(), &helper);
        helper.answer = {c.answer, "said"};
        helper.effect = [&](const std::vector<std::string>& words) {
            if (words[1] == "on" && c.writes) run.write("systemd/logind.conf.d/vigilo-lid.conf", "");
            if (words[1] == "off") std::filesystem::remove(clamshell.dropInPath());
        };
        EXPECT_EQ(switched(clamshell, true, Consent::mayAsk), c.switchedOn);
        EXPECT_EQ(clamshell.isSleepDisabled(), c.switchedOn);
        EXPECT_EQ(helper.calls, c.calls);
        EXPECT_EQ(helper.consents.front(), Consent::mayAsk);

        helper.answer = {Status::done, ""};
        EXPECT_EQ(switched(clamshell, false, Consent::withoutAsking), true);
        EXPECT_FALSE(clamshell.isSleepDisabled());
        EXPECT_EQ(helper.calls.size(), c.calls.size() + (c.switchedOn ? 1 : 0)) << "off runs the helper only for a drop-in";
    }
}

TEST(LogindClamshellOnRefusingLogind, ARefusedSleepLockGivesUpTheLidLockToo) {
    if (!testing::inMockBusScenario("logind-refuses-sleep"))
        GTEST_SKIP() << "needs the logind-refuses-sleep scenario of test_power_management.py";
    testing::LogCapture log;
    LogindClamshell clamshell;
    EXPECT_EQ(switched(clamshell, true, Consent::withoutAsking), false);
    EXPECT_TRUE(logindLocksSettledAt(0).empty()) << "the lid lock alone would be half the mode";
    bool logged = false;
    for (const auto& line : log.lines())
        logged = logged || line.starts_with("Clamshell: error: logind sleep lock failed: ");
    EXPECT_TRUE(logged);
}

TEST(LogindClamshell, SleepIsDisabledExactlyWhileOurDropInExists) {
    testing::TempDir run;
    LogindClamshell clamshell(run.path());
    EXPECT_FALSE(clamshell.isSleepDisabled());
    run.write("systemd/logind.conf.d/50-admin.conf", "[Login]\nHandleLidSwitch=ignore\n");
    EXPECT_FALSE(clamshell.isSleepDisabled()) << "an administrator's own setting is not ours";
    const auto ours = run.write("systemd/logind.conf.d/vigilo-lid.conf", "[Login]\nHandleLidSwitch=ignore\n");
    EXPECT_TRUE(clamshell.isSleepDisabled());
    std::filesystem::remove(ours);
    EXPECT_FALSE(clamshell.isSleepDisabled());
}

}  // namespace
}  // namespace vigilo
