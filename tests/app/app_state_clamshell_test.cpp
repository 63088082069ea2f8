// Closed-lid mode as the controller switches it, with the crash guard.
#include <gmock/gmock.h>

#include <filesystem>

#include "app/app_state.h"
#include "app_state_fixture.h"
#include "common/log_capture.h"
#include "platform/clamshell_control.h"

namespace vigilo::testing {
namespace {

using ::testing::ElementsAre;

class ClamshellTest : public AppStateTest {
protected:
    bool guardArmed() const { return std::filesystem::exists(*crashGuard.fileURL()); }
    std::vector<std::string> lastKinds(std::size_t n) {
        auto kinds = activityKinds();
        return {kinds.end() - static_cast<std::ptrdiff_t>(std::min(n, kinds.size())), kinds.end()};
    }
};

TEST_F(ClamshellTest, TheMenuSwitchAsksArmsKeepsAwakeAndPutsEverythingBack) {
    dialog.answer = false;
    state().toggleClamshell();
    EXPECT_FALSE(state().clamshellActive.get()) << "cancelled: nothing happens";
    EXPECT_TRUE(clamshell.calls.empty());

    dialog.answer = true;
    state().toggleClamshell();
    EXPECT_TRUE(state().clamshellActive.get());
    EXPECT_TRUE(clamshell.held);
    EXPECT_TRUE(guardArmed());
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::on));
    EXPECT_EQ(state().lastUserMessage.get(), "Closed-lid mode on. Keep the computer in a well-ventilated spot.");
    EXPECT_THAT(lastKinds(3), ElementsAre("clamshellOn", "crashGuardArmed", "keepAwakeStarted=Awake On"));

    state().toggleClamshell();
    EXPECT_FALSE(state().clamshellActive.get());
    EXPECT_FALSE(clamshell.held);
    EXPECT_FALSE(guardArmed());
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::off)) << "plain on mode ends with closed-lid mode";
    EXPECT_THAT(clamshell.consents, ElementsAre(Consent::mayAsk, Consent::mayAsk)) << "the person may be asked";
}

TEST_F(ClamshellTest, ARefusalChangesNothingAndSaysWhy) {
    clamshell.refuse = true;
    state().toggleClamshell();
    EXPECT_FALSE(state().clamshellActive.get());
    EXPECT_FALSE(guardArmed());
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::off));
    EXPECT_EQ(state().lastUserMessage.get(), kClamshellUnavailableMessage);
}

TEST_F(ClamshellTest, StopAndCriticalHeatTurnItOff) {
    state().performRuleAction(RuleAction::StartClamshell{});
    EXPECT_TRUE(state().clamshellActive.get());
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::on));
    state().stop();
    EXPECT_FALSE(state().clamshellActive.get());
    EXPECT_FALSE(guardArmed());

    state().performRuleAction(RuleAction::StartClamshell{});
    thermalSource.report(3);
    loop.runUntilIdle();
    EXPECT_FALSE(state().clamshellActive.get());
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::on)) << "heat does not stop keep-awake";
    EXPECT_EQ(notifier.posted.back().first, "Closed-lid mode stopped");
    EXPECT_THAT(clamshell.consents, ::testing::Each(Consent::withoutAsking)) << "rules, stop and heat never prompt";
}

// The helper may wait a minute for a password: meanwhile the menu, the rules
// and the quit go on, and nothing switches twice.
TEST_F(ClamshellTest, ASwitchWaitingForTheHelperTakesNoSecondRequest) {
    clamshell.answerLater = true;
    state().toggleClamshell();
    EXPECT_FALSE(state().clamshellActive.get()) << "not on before the answer";
    state().toggleClamshell();
    state().performRuleAction(RuleAction::StartClamshell{});
    EXPECT_EQ(clamshell.calls, std::vector<bool>{true}) << "neither the toggle nor a rule starts a second switch";
    EXPECT_EQ(dialog.asked.size(), 1u);
    clamshell.answerWaiting();
    EXPECT_TRUE(state().clamshellActive.get());
    EXPECT_EQ(state().lastUserMessage.get(), "Closed-lid mode on. Keep the computer in a well-ventilated spot.");

    struct Case {
        bool refuse;
        bool restored;
    };
    for (const Case& c : {Case{true, false}, Case{false, true}}) {
        clamshell.refuse = c.refuse;
        std::vector<bool> answers;
        state().restoreSleepBeforeQuit([&](bool restored) { answers.push_back(restored); });
        EXPECT_TRUE(answers.empty()) << "the quit waits for the helper";
        state().restoreSleepBeforeQuit([&](bool restored) { answers.push_back(restored); });
        EXPECT_EQ(answers, std::vector<bool>{false}) << "a second restore meanwhile is refused at once";
        clamshell.answerWaiting();
        EXPECT_EQ(answers, (std::vector<bool>{false, c.restored}));
        EXPECT_EQ(state().clamshellActive.get(), !c.restored);
        EXPECT_EQ(guardArmed(), !c.restored);
    }
    std::vector<bool> answers;
    state().restoreSleepBeforeQuit([&](bool restored) { answers.push_back(restored); });
    EXPECT_EQ(answers, std::vector<bool>{true}) << "nothing to give back: at once";
}

TEST_F(ClamshellTest, LaunchRepairsWhatACrashLeftBehind) {
    struct Case {
        bool staleGuard;
        bool sleepDisabled;
        bool repaired;
    };
    state();
    for (const Case& c : {Case{true, true, true}, Case{true, false, true}, Case{false, true, true},
                          Case{false, false, false}}) {
        SCOPED_TRACE(::testing::Message() << "stale " << c.staleGuard << ", disabled " << c.sleepDisabled);
        CrashGuard earlierRun(dir.path() / "data", 77, loop.clock());
        if (c.staleGuard) earlierRun.arm();
        clamshell.sleepDisabled = c.sleepDisabled;
        clamshell.calls.clear();
        clamshell.consents.clear();
        const auto before = activityKinds().size();

        clamshell.answerLater = true;
        int repaired = 0;
        state().recoverClamshellAtLaunch([&] { ++repaired; });
        EXPECT_EQ(repaired, c.sleepDisabled ? 0 : 1) << "done once the drop-in is gone";
        clamshell.answerWaiting();
        EXPECT_EQ(repaired, 1);
        EXPECT_EQ(clamshell.calls, c.sleepDisabled ? std::vector<bool>{false} : std::vector<bool>{});
        EXPECT_THAT(clamshell.consents, ::testing::Each(Consent::withoutAsking));
        EXPECT_EQ(activityKinds().size() - before, c.repaired ? 2u : 0u);
        EXPECT_FALSE(guardArmed());
        EXPECT_FALSE(state().clamshellActive.get());
    }
}

// A guard file that cannot be read says nothing either way: it is reported
// and left, and the system's own setting still decides the repair.
TEST_F(ClamshellTest, AnUnreadableGuardFileIsReportedAndTheRepairStillHappens) {
    state();
    const auto file = dir.write("data/crashguard.json", R"({"clamshellArmed": tru)");
    LogCapture logs;
    clamshell.sleepDisabled = true;
    state().recoverClamshellAtLaunch();
    EXPECT_EQ(clamshell.calls, std::vector<bool>{false});
    EXPECT_THAT(lastKinds(2), ElementsAre("crashGuardRecovered", "safeResetApplied"));
    EXPECT_TRUE(std::filesystem::exists(file));
    const auto reported = "CrashGuard: error: Unreadable " + file.string() + " (not a crash-guard record)";
    EXPECT_THAT(logs.lines(), ::testing::Contains(::testing::StartsWith(reported)));
}

}  // namespace
}  // namespace vigilo::testing
