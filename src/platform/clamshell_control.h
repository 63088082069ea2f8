#pragma once

#include <functional>

#include "platform/privileged_runner.h"

namespace vigilo {

// Shown by the controller when closed-lid mode cannot be switched on: no
// desktop session to grant the locks and no administrator's rule for the
// system-wide setting.
inline constexpr const char* kClamshellUnavailableMessage =
    "Closed-lid mode needs a desktop session or an administrator's permission.";

// Closed-lid mode: keeps the computer running with its lid shut. Abstract so
// that the controller can be tested with a fake. Main thread only; the calls
// block briefly on system services, never on a password prompt.
class ClamshellControl {
public:
    // Whether the switch happened; called on the main thread.
    using Done = std::function<void(bool switched)>;

    virtual ~ClamshellControl() = default;

    // True when a system-wide setting of ours keeps the lid from sleeping the
    // computer right now, even one left behind by a run that crashed. What the
    // running program holds for itself dies with it and does not count, nor
    // does an administrator's own setting, which is never ours to undo.
    virtual bool isSleepDisabled() = 0;

    // Switches closed-lid mode on or off and tells `done` whether it did:
    // at once where the desktop session grants it, later where the
    // privileged helper has to run (and maybe ask for a password). A refusal
    // (no session, no permission, the helper still busy with the last
    // switch) leaves nothing held and says false; the reason is logged, not
    // shown. `consent` says whether a password prompt may appear: only for
    // the person's own toggle.
    virtual void setDisableSleep(bool disable, Consent consent, Done done) = 0;
};

}  // namespace vigilo
