#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/helper_verbs.h"

namespace vigilo {

// Whether a privileged step may bring up a password prompt. Only what a
// person has just asked for may (the tray's closed-lid toggle, a cooling
// preset chosen in a window); rules, heat, the quit restore and the launch
// repair may not: they go ahead only where the system already allows the
// step without asking, and otherwise skip it and say so in the log.
enum class Consent { mayAsk, withoutAsking };

// Runs the privileged helper with one of its fixed requests. Abstract so the
// callers can be tested with a fake.
//
// The request's first word is the helper's verb; the polkit action it falls
// under comes from the verbs' table (helper_verbs.h), so the question asked
// ahead of a run is about the very action pkexec decides on. A word not in
// the table is refused without running anything.
class PrivilegedRunner {
public:
    struct Result {
        enum class Status {
            done,        // the helper made the change
            notAllowed,  // polkit would have to ask, or the person said no: nothing was run or changed
            refused,     // the helper refused the request (status 2), or it is no verb of the helper's
            failed,      // the helper could not make the change, could not be run, or timed out
            busy,        // the same verb is still running: nothing was run
        };
        Status status = Status::failed;
        std::string message;  // the helper's own words, or why it did not run

        bool ok() const { return status == Status::done; }
    };
    using Completion = std::function<void(const Result&)>;
    using Answer = std::function<void(bool allowed)>;

    virtual ~PrivilegedRunner() = default;

    // Starts the helper with `arguments` (its words, never shell text) and
    // returns at once; `done` runs on the loop thread when the helper has
    // ended or its time is up. An answer that needs no waiting (busy, no
    // such verb, nothing to run) comes before run() returns. Loop thread only.
    virtual void run(std::vector<std::string> arguments, Consent consent, Completion done) = 0;

    // The same, blocking the calling thread until the answer: for background
    // tasks (a preset drives the fans from one) and for the last steps after
    // the loop has stopped. Bounded by the same time-outs. Any thread but
    // the loop's while it runs.
    virtual Result runAndWait(std::vector<std::string> arguments, Consent consent) = 0;

    // Asks the person, with the system's password prompt where it needs one,
    // for `verb`'s action ahead of helper runs that will come without asking
    // (a preset chosen in a window drives the fans from background tasks).
    // The system keeps the answer a few minutes. Only for what a person has
    // just asked for. Returns at once; `done` runs on the loop thread.
    virtual void authorize(HelperVerb verb, Answer done) = 0;
};

}  // namespace vigilo
