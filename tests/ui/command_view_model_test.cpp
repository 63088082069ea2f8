#include "ui/command_view_model.h"

#include <gtest/gtest.h>

namespace vigilo {
namespace {

using namespace std::chrono_literals;
using Look = CommandStatus::Look;

TEST(CommandStatusLine, FollowsTheRun) {
    const WallTime start{1'700'000'000s};
    const WallTime now = start + 65s;
    struct Case {
        CommandRun run;
        Look look;
        const char* text;
    };
    const Case cases[] = {
        {{}, Look::idle, "Idle"},
        {{true, "make", start, std::nullopt, std::nullopt}, Look::running, "Running make \u2014 1m 05s"},
        {{false, "make", start, start + 3s, 0}, Look::succeeded, "Finished (exit 0) in 3s"},
        {{false, "make", start, start + 3s, 127}, Look::failed, "Finished (exit 127) in 3s"},
        // A run that could not start.
        {{false, "make", start, start, -1}, Look::failed, "Finished (exit -1) in 0s"},
        // The next run keeps the last one's exit code until it ends.
        {{true, "make", start, start - 1s, 2}, Look::running, "Running make \u2014 1m 05s"},
    };
    for (const auto& c : cases) {
        const CommandStatus status = commandStatus(c.run, now);
        EXPECT_EQ(status.look, c.look) << c.text;
        EXPECT_EQ(status.text, c.text);
    }
}

TEST(CommandField, RefusesOnlyABlankCommand) {
    EXPECT_EQ(commandFieldError(" \t "), "Type a command to run.");
    EXPECT_EQ(commandFieldError(""), "Type a command to run.");
    EXPECT_EQ(commandFieldError(" make "), std::nullopt);
}

}  // namespace
}  // namespace vigilo
