// The tray taking up what the headless instance was doing, as it arrives
// over the socket.
#include <gtest/gtest.h>

#include <functional>
#include <variant>

#include "app/app_state.h"
#include "app_state_fixture.h"
#include "ipc/hand_over_state.h"
#include "ipc/ipc_messages.h"
#include "platform/clamshell_control.h"
#include "support/tr.h"

namespace vigilo::testing {
namespace {

using namespace std::chrono_literals;
using Kind = KeepAwakeMode::Kind;

class ResumeTest : public AppStateTest {
protected:
    // The daemon's state, through the reply's wire form; the daemon's own
    // controller then stops, as it does when it quits.
    HandOverState handOver() {
        const auto reply = decodeResponse(encodeResponse({.ok = true, .resume = state().handOverState()}));
        state().stop();
        dialog.asked.clear();
        state().lastUserMessage.set(std::nullopt);
        return *std::get<IPCResponse>(reply).resume;
    }
};

TEST_F(ResumeTest, EveryModeIsTakenUpQuietlyWithTheSameTimerEnd) {
    struct Case {
        const char* name;
        std::function<void(AppState&)> start;
        Kind kind;
        bool watching;
    };
    const Case cases[] = {
        {"on", [](AppState& s) { s.startAlwaysOn(); }, Kind::on, false},
        {"timer", [](AppState& s) { s.startTimer(600); }, Kind::timer, false},
        {"auto", [](AppState& s) { s.toggleAutoWatch(); }, Kind::autoWatch, true},
        {"off", [](AppState&) {}, Kind::off, false},
        {"a command ends with its process", [](AppState& s) { s.runCommand("make"); }, Kind::off, false},
    };
    // On battery, where each of these asks first at the menu.
    powerSources.setBattery(80, false);
    for (const auto& [name, start, kind, watching] : cases) {
        SCOPED_TRACE(name);
        start(state());
        const auto before = state().mode.get();
        const auto handed = handOver();
        loop.fastForwardBy(2s);
        state().resumeHandedOver(handed);

        EXPECT_EQ(state().mode.get().kind(), kind);
        if (kind == Kind::timer) {
            EXPECT_LE(abs(*state().mode.get().expiresAt() - *before.expiresAt()), 1ms);
        }
        EXPECT_EQ(state().assertionActive.get(), kind == Kind::on || kind == Kind::timer);
        EXPECT_EQ(watcher.isRunning(), watching);
        EXPECT_TRUE(dialog.asked.empty()) << "the person chose it already";
        EXPECT_FALSE(state().lastUserMessage.get());
        state().stop();
    }
}

TEST_F(ResumeTest, ATimerRunsOnToItsEndAndOneThatEndedMeanwhileIsNotResumed) {
    struct Case {
        std::chrono::seconds gap;
        bool resumed;
    };
    for (const auto& [gap, resumed] : {Case{30s, true}, Case{60s, false}, Case{90s, false}}) {
        SCOPED_TRACE(gap.count());
        state().startTimer(60);
        const auto handed = handOver();
        loop.fastForwardBy(gap);
        state().resumeHandedOver(handed);
        EXPECT_EQ(state().mode.get().is(Kind::timer), resumed);
        EXPECT_EQ(power.held.size(), resumed ? 1u : 0u);

        loop.fastForwardBy(60s - gap - 1s);
        EXPECT_EQ(state().mode.get().is(Kind::timer), resumed) << "ends when it would have";
        loop.fastForwardBy(1s);
        EXPECT_TRUE(state().mode.get().is(Kind::off));
        EXPECT_TRUE(power.held.empty());
    }
}

TEST_F(ResumeTest, ClosedLidModeIsTakenAgainWithoutAskingOrSaysItCannot) {
    for (const bool refuse : {false, true}) {
        SCOPED_TRACE(refuse ? "refused" : "allowed");
        clamshell = {};
        clamshell.refuse = refuse;
        const HandOverState handed{.closedLid = true};
        state().resumeHandedOver(handed);
        state().resumeClosedLid();

        EXPECT_EQ(clamshell.calls, std::vector<bool>{true});
        EXPECT_EQ(clamshell.consents, std::vector<Consent>{Consent::withoutAsking});
        EXPECT_TRUE(dialog.asked.empty());
        EXPECT_EQ(state().clamshellActive.get(), !refuse);
        EXPECT_EQ(state().mode.get().is(Kind::on), !refuse) << "closed-lid mode keeps the computer awake";
        EXPECT_EQ(state().lastUserMessage.get(), refuse ? std::optional(tr(kClamshellUnavailableMessage)) : std::nullopt);
        state().stop();
        state().lastUserMessage.set(std::nullopt);
    }
}

}  // namespace
}  // namespace vigilo::testing
