#pragma once

#include <sys/types.h>

#include <optional>

namespace vigilo {

// A started child whose standard output and error arrive, interleaved, on
// one pipe. It is passive: the owner watches the two descriptors on its loop
// and calls back in when they are readable. The child leads its own process
// group: the job is the shell and everything it starts.
class ChildProcess {
public:
    // A child still running is stopped with its whole group (SIGTERM, then
    // SIGKILL after a short grace) and reaped before this returns, so no job
    // outlives its owner.
    virtual ~ChildProcess() = default;

    virtual pid_t pid() const = 0;

    // Non-blocking read end of the output pipe. Owned by the child object.
    virtual int outputFd() const = 0;
    // Becomes readable once the child has exited. Owned by the child object.
    virtual int exitFd() const = 0;

    // Reaps the child if it has exited: its exit code, or 128 + the signal
    // number that ended it, as a shell reports it. nullopt while it runs.
    virtual std::optional<int> takeExitStatus() = 0;

    // Asks the child and everything in its group to stop (SIGTERM).
    virtual void terminate() = 0;
};

}  // namespace vigilo
