#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/child_process_launcher.h"
#include "support/clock.h"
#include "support/handle.h"
#include "support/log.h"
#include "support/loop.h"
#include "support/published.h"

namespace vigilo {

// Runs one shell command at a time on the user's behalf from inside the
// application and publishes its progress: whether it runs, the command text,
// start and end times, the exit code and the last 200 lines of its combined
// output. The output pipe and the child's exit are watched on `loop`; all
// published fields change on the loop thread. `loop` and `launcher` must
// outlive the runner. Destroying the runner ends a running command's whole
// job and reaps it (see ChildProcess).
class CommandRunner {
public:
    // Exit code (128 + the signal for a child ended by one) and run time.
    using FinishHandler = std::function<void(std::int32_t exitCode, double seconds)>;

    static constexpr std::size_t maxLines = 200;
    // A line that never ends (a progress bar redrawn with "\r") keeps only
    // its newest bytes, so memory stays bounded whatever the command prints.
    static constexpr std::size_t maxLineBytes = 16 * 1024;

    CommandRunner(Loop& loop, ChildProcessLauncher& launcher);
    CommandRunner(const CommandRunner&) = delete;
    CommandRunner& operator=(const CommandRunner&) = delete;
    ~CommandRunner();

    Published<bool>& isRunning() { return isRunning_; }
    Published<std::string>& command() { return command_; }
    Published<std::optional<WallTime>>& startedAt() { return startedAt_; }
    Published<std::optional<WallTime>>& finishedAt() { return finishedAt_; }
    Published<std::optional<std::int32_t>>& exitCode() { return exitCode_; }
    Published<std::string>& outputTail() { return outputTail_; }

    // Set by the owner before the first run; called once when a started
    // command finishes (not when it fails to start).
    FinishHandler onFinish;

    // Starts the trimmed command unless it is blank or a command is running
    // already; returns at once.
    void run(std::string_view command);

    // The running child, for the window's "Stop" (terminate()); null when idle.
    ChildProcess* process() const { return process_.get(); }

private:
    void readOutput(std::size_t maxReads);
    void takeChunk(std::string_view bytes);
    void append(std::string_view text);
    void childExited();
    void finished(int code);

    Loop& loop_;
    ChildProcessLauncher& launcher_;
    Logger log_{"CommandRunner"};

    Published<bool> isRunning_{false};
    Published<std::string> command_;
    Published<std::optional<WallTime>> startedAt_;
    Published<std::optional<WallTime>> finishedAt_;
    Published<std::optional<std::int32_t>> exitCode_;
    Published<std::string> outputTail_;

    std::deque<std::string> lines_;
    bool endsWithNewlineMarker_ = true;
    std::string incompleteUtf8_;  // a character split across two reads

    // Declared after what their callbacks touch, and before the child whose
    // descriptors they watch, so they are cancelled before those close.
    std::unique_ptr<ChildProcess> process_;
    Handle outputWatch_;
    Handle exitWatch_;
};

}  // namespace vigilo
