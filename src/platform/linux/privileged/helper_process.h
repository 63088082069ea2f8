#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace vigilo {

// What one run of a short-lived program gave.
struct FinishedProcess {
    bool started = false;
    bool timedOut = false;  // killed at the deadline
    int exitStatus = -1;    // -1 when it did not exit normally
    std::string errorOutput;  // the start of its standard error, or why it did not start
};

// Where the program's standard input comes from: nowhere, or ours, for
// pkexec to ask for a password in the terminal we were started from.
enum class ChildInput { none, inherited };

// Runs `argv` (argv[0] an absolute path; no shell, no PATH search) with
// standard output on /dev/null and none of our descriptors but standard
// error, whose text is kept, and standard input as `input` says. Blocks the
// calling thread until the program exits or `timeout` has passed, when it is
// killed. Any thread.
FinishedProcess runToCompletion(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                                ChildInput input = ChildInput::none);

}  // namespace vigilo
