#pragma once

#include "support/loop.h"

namespace vigilo {

// The loop the whole application runs on: sd-event for the daemon, Qt's
// event loop for the tray. Adds what only the owner of the process needs.
class ApplicationLoop : public Loop {
public:
    // Calls `handler` on the loop thread when the signal arrives. Blocks the
    // signal in the calling thread only: block it before any other thread
    // starts (they inherit the mask), or one of them receives it instead.
    virtual Handle onSignal(int signal, Task handler) = 0;

    // Blocks until every background task submitted so far has run. The
    // owner of what those tasks use calls it before that goes away.
    virtual void finishBackgroundWork() = 0;

    // Runs until quit(); returns the code given to quit(). A quit() that
    // comes before run() makes run() return at once.
    virtual int run() = 0;
    virtual void quit(int code = 0) = 0;
};

}  // namespace vigilo
