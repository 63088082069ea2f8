#pragma once

#include "platform/privileged_runner.h"

namespace vigilo {

// Shown by the controller when closed-lid mode cannot be switched on: no
// desktop session to grant the locks and no administrator's rule for the
// system-wide setting.
inline constexpr const char* kClamshellUnavailableMessage =
    "Closed-lid mode needs a desktop session or an administrator's permission.";

// Closed-lid mode: keeps the computer running with its lid shut. Abstract so
// that the controller can be tested with a fake. Main thread only; the calls
// block briefly on system services.
class ClamshellControl {
public:
    virtual ~ClamshellControl() = default;

    // True when a system-wide setting of ours keeps the lid from sleeping the
    // computer right now, even one left behind by a run that crashed. What the
    // running program holds for itself dies with it and does not count, nor
    // does an administrator's own setting, which is never ours to undo.
    virtual bool isSleepDisabled() = 0;

    // Switches closed-lid mode on or off; true on success. A refusal (no
    // session, no permission) leaves nothing held and returns false; the
    // reason is logged, not shown. `consent` says whether a password prompt
    // may appear: only for the person's own toggle.
    virtual bool setDisableSleep(bool disable, Consent consent) = 0;
};

}  // namespace vigilo
