#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace vigilo {

// Where the program's standard input comes from: nowhere, or ours, for
// pkexec to ask for a password in the terminal we were started from.
enum class ChildInput { none, inherited };

// One started run of a short-lived program (pkexec or the helper): its pid,
// a pidfd that turns readable once it has exited, and the non-blocking read
// end of its standard error, whose start is kept. Passive: the owner watches
// the two descriptors, on a loop or with waitUntil(), and calls back in.
//
// The program gets standard output on /dev/null, standard input as asked,
// no signal blocked and none of our descriptors: inhibitor locks live in
// descriptors, and a child must not carry one along.
class HelperChild {
public:
    using Clock = std::chrono::steady_clock;

    // Starts `argv` (argv[0] an absolute path; no shell, no PATH search).
    // nullptr with `why` set when it could not be started.
    static std::unique_ptr<HelperChild> start(const std::vector<std::string>& argv, ChildInput input,
                                              std::string& why);

    // A child still running is killed; it is reaped where that worked.
    ~HelperChild();
    HelperChild(const HelperChild&) = delete;
    HelperChild& operator=(const HelperChild&) = delete;

    pid_t pid() const { return pid_; }
    int exitFd() const { return pidFd_; }
    // Open as long as the object lives; a watch on it ends at the pipe's end.
    int errorFd() const { return errorFd_; }

    // Takes what standard error holds now, without blocking. False once the
    // pipe has reached its end (or the child was reaped): nothing more comes.
    bool readErrorOutput();
    // Reaps the child if it has exited, then takes what is left of its
    // standard error without waiting for anyone else who holds the pipe.
    bool tryReap();
    // SIGKILL, then the reaping, which follows at once. False when it cannot
    // be signalled: pkexec has become the helper, which runs as root now.
    bool killAndReap();
    // Reads standard error until the child exits (reaped, true) or
    // `deadline` passes (false). Blocks the calling thread.
    bool waitUntil(Clock::time_point deadline);

    bool reaped() const { return reaped_; }
    // -1 when it did not exit normally (or something else reaped it).
    int exitStatus() const { return exitStatus_; }
    const std::string& errorOutput() const { return errorOutput_; }

private:
    HelperChild(pid_t pid, int pidFd, int errorFd) : pid_(pid), pidFd_(pidFd), errorFd_(errorFd) {}
    void finishReaping(int status);

    pid_t pid_;
    int pidFd_;
    int errorFd_;
    bool errorEnded_ = false;
    bool reaped_ = false;
    int exitStatus_ = -1;
    std::string errorOutput_;
};

// What one blocking run of a short-lived program gave.
struct FinishedProcess {
    bool started = false;
    bool timedOut = false;  // killed at the deadline
    int exitStatus = -1;    // -1 when it did not exit normally
    std::string errorOutput;  // the start of its standard error, or why it did not start
};

// Runs `argv` to its end as HelperChild does. Blocks the calling thread until
// the program exits or `timeout` has passed, when it is killed. Any thread.
FinishedProcess runToCompletion(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                                ChildInput input = ChildInput::none);

}  // namespace vigilo
