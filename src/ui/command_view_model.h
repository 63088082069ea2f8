#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "support/clock.h"

namespace vigilo {

class CommandRunner;

// The runner's published fields at one moment.
struct CommandRun {
    bool running = false;
    std::string command;
    std::optional<WallTime> startedAt;
    std::optional<WallTime> finishedAt;
    std::optional<std::int32_t> exitCode;
};

CommandRun currentRun(CommandRunner& runner);

// The command window's status line: what the run is doing, and how its mark
// looks (a filled dot while running, a tick or a cross after, a ring before).
struct CommandStatus {
    enum class Look { idle, running, succeeded, failed };
    Look look = Look::idle;
    std::string text;
};

CommandStatus commandStatus(const CommandRun& run, WallTime now);

// Why the text in the command field cannot run, shown next to the field;
// nullopt when it can.
std::optional<std::string> commandFieldError(std::string_view text);

}  // namespace vigilo
