// The handOver reply's state as it crosses the socket between two versions.
#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "ipc/hand_over_state.h"
#include "ipc/ipc_messages.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;
using Mode = HandOverState::Mode;

const WallTime kEnd = WallTime(1'767'605'400s) + 250ms;  // 2026-01-05 09:30:00.25 UTC

IPCResponse across(const IPCResponse& reply) {
    auto decoded = decodeResponse(encodeResponse(reply));
    EXPECT_TRUE(std::holds_alternative<IPCResponse>(decoded)) << std::get<std::string>(decoded);
    return std::get<IPCResponse>(decoded);
}

TEST(HandOverState, EveryModeArrivesAsSentWithTheTimersEndToTheMillisecond) {
    const HandOverState states[] = {
        {},
        {.mode = Mode::on, .closedLid = true},
        {.mode = Mode::timer, .timerEndsAt = kEnd},
        {.mode = Mode::chargingOnly},
        {.mode = Mode::autoMode, .closedLid = true},
    };
    for (const auto& state : states) {
        SCOPED_TRACE(describeHandOver(state));
        const auto received = across({.ok = true, .resume = state}).resume;
        ASSERT_TRUE(received);
        EXPECT_EQ(received->mode, state.mode);
        EXPECT_EQ(received->closedLid, state.closedLid);
        ASSERT_EQ(received->timerEndsAt.has_value(), state.timerEndsAt.has_value());
        if (state.timerEndsAt) {
            EXPECT_LE(abs(*received->timerEndsAt - *state.timerEndsAt), 1ms);
        }
    }
}

TEST(HandOverState, TheWireFormIsDocumentedAndReadableByTheLog) {
    EXPECT_EQ(encodeResponse({.ok = true, .resume = HandOverState{.mode = Mode::timer, .timerEndsAt = kEnd}}),
              R"({"ok":true,"resume":{"mode":"timer","timerEndsAt":1767605400.25,"autoMode":false,"closedLid":false}})");
    EXPECT_EQ(describeHandOver({.mode = Mode::timer, .timerEndsAt = kEnd, .closedLid = true}),
              "timer until 2026-01-05T09:30:00Z, closed-lid mode on");
    EXPECT_EQ(encodeResponse({.ok = true}), R"({"ok":true})") << "an older reply has no resume";
}

// What another version, or a broken peer, may send: resumed as far as it is
// understood, never a crash.
TEST(HandOverState, AReplyFromAnotherVersionResumesWhatItCan) {
    struct Case {
        const char* reply;
        Mode mode;
        bool closedLid;
    };
    const Case cases[] = {
        {R"({"ok":true,"resume":{"mode":"sleepless","autoMode":true}})", Mode::autoMode, false},
        {R"({"ok":true,"resume":{"mode":"sleepless","closedLid":true}})", Mode::off, true},
        {R"({"ok":true,"resume":{"mode":"timer"}})", Mode::off, false},
        {R"({"ok":true,"resume":{"mode":"timer","timerEndsAt":1e300}})", Mode::off, false},
        {R"({"ok":true,"resume":{"mode":"timer","timerEndsAt":-5}})", Mode::off, false},
        {R"({"ok":true,"resume":{}})", Mode::off, false},
        {R"({"ok":true,"resume":null})", Mode::off, false},
    };
    for (const auto& [text, mode, closedLid] : cases) {
        SCOPED_TRACE(text);
        const auto decoded = decodeResponse(text);
        ASSERT_TRUE(std::holds_alternative<IPCResponse>(decoded));
        const auto state = std::get<IPCResponse>(decoded).resume.value_or(HandOverState{});
        EXPECT_EQ(state.mode, mode);
        EXPECT_EQ(state.closedLid, closedLid);
        EXPECT_FALSE(state.timerEndsAt);
    }
    for (const char* wrong : {R"({"ok":true,"resume":"on"})", R"({"ok":true,"resume":{"mode":1}})",
                              R"({"ok":true,"resume":{"mode":"timer","timerEndsAt":"soon"}})"}) {
        SCOPED_TRACE(wrong);
        EXPECT_TRUE(std::holds_alternative<std::string>(decodeResponse(wrong)));
    }
}

}  // namespace
}  // namespace vigilo
