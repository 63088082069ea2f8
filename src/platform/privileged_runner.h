#pragma once

#include <string>
#include <vector>

namespace vigilo {

// Whether a privileged step may bring up a password prompt. Only what a
// person has just asked for may (the tray's closed-lid toggle, a cooling
// preset chosen in a window); rules, heat, the quit restore and the launch
// repair may not: they go ahead only where the system already allows the
// step without asking, and otherwise skip it and say so in the log.
enum class Consent { mayAsk, withoutAsking };

// The helper's polkit actions.
inline constexpr const char* kClosedLidAction = "com.vigilo.app.closed-lid";
inline constexpr const char* kFanControlAction = "com.vigilo.app.fan-control";

// Runs the privileged helper with one of its fixed requests. Abstract so the
// callers can be tested with a fake. Thread-safe; every call blocks the
// calling thread until the helper is done or a time-out ends it.
class PrivilegedRunner {
public:
    struct Result {
        enum class Status {
            done,        // the helper made the change
            notAllowed,  // polkit would have to ask, or the person said no: nothing was run or changed
            refused,     // the helper refused the request (status 2): it names nothing it can change
            failed,      // the helper could not make the change, could not be run, or timed out
        };
        Status status = Status::failed;
        std::string message;  // the helper's own words, or why it did not run

        bool ok() const { return status == Status::done; }
    };

    virtual ~PrivilegedRunner() = default;

    // `action` is the polkit action the request falls under; `arguments` are
    // the helper's words (never shell text).
    virtual Result run(const char* action, const std::vector<std::string>& arguments, Consent consent) = 0;

    // Asks the person, with the system's password prompt where it needs one,
    // for `action` ahead of helper runs that will come without asking (a
    // preset chosen in a window drives the fans from background tasks). The
    // system keeps the answer a few minutes. Only for what a person has just
    // asked for; blocks while the prompt is open. True when allowed.
    virtual bool authorize(const char* action) = 0;
};

}  // namespace vigilo
