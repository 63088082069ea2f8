#pragma once

#include <sys/types.h>

#include <optional>

namespace vigilo {

// A started child whose standard output and error arrive, interleaved, on
// one pipe. It is passive: the owner watches the two descriptors on its loop
// and calls back in when they are readable.
class ChildProcess {
public:
    virtual ~ChildProcess() = default;

    virtual pid_t pid() const = 0;

    // Non-blocking read end of the output pipe. Owned by the child object.
    virtual int outputFd() const = 0;
    // Becomes readable once the child has exited. Owned by the child object.
    virtual int exitFd() const = 0;

    // Reaps the child if it has exited: its exit code, or 128 + the signal
    // number that ended it, as a shell reports it. nullopt while it runs.
    virtual std::optional<int> takeExitStatus() = 0;

    // Asks the child to stop (SIGTERM).
    virtual void terminate() = 0;
};

}  // namespace vigilo
