#pragma once

#include <thread>

namespace vigilo {

// Makes SIGINT and SIGTERM end the process while the application starts up.
// The event loop takes them through signal sources, which need them blocked
// in every thread; but until the loop runs nobody would read them, and a
// start-up step that blocks (a FIFO where a file should be, a bus that does
// not answer) would leave them without effect. The guard blocks both in the
// calling thread, so create it before any other thread starts: every later
// thread inherits the mask. Its own thread then waits for either signal and
// ends the process with status 0. There is nothing to undo yet: no lock is
// held and no socket exists, and what the kernel does not release at exit
// (the instance lock, inhibitor descriptors, bus names) it does release.
class EarlyQuitGuard {
public:
    EarlyQuitGuard();
    // Hands the signals over as release() does.
    ~EarlyQuitGuard();
    EarlyQuitGuard(const EarlyQuitGuard&) = delete;
    EarlyQuitGuard& operator=(const EarlyQuitGuard&) = delete;

    // From now on the signals stay blocked and pending for the loop's own
    // signal sources; a signal that arrived meanwhile is not lost. Call it
    // once those sources exist and nothing before the loop can block.
    void release();

private:
    void waitForSignal();

    int signalFd_ = -1;
    int releaseFd_ = -1;
    std::thread thread_;
};

}  // namespace vigilo
