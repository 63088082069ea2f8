#pragma once

#include <optional>
#include <string>

#include "ipc/hand_over_state.h"
#include "platform/linux/instance_lock.h"
#include "support/log.h"

namespace vigilo {

// Logs `text` and writes it on standard error, unless the log already
// reaches standard error: the person reads it once.
void tellOnce(const Logger& log, LogLevel level, const std::string& text);

// A launch that finds the instance lock held settles with the running
// instance over its socket, touching nothing else:
//   tray launch, running tray          -> its status window opens; exit 0
//   tray launch, running headless      -> it is asked to hand over; start
//   headless launch, running tray      -> exit 0 (the user unit's start is
//                                         not a failure)
//   headless launch, running headless  -> exit 1
// Returns the exit status, or nullopt when the running instance is handing
// over and this launch should take the lock once it is free; `handedOver`
// is then what it was doing (left empty by an instance from before that).
std::optional<int> settleWithRunningInstance(bool headless, const std::string& socketPath, const Logger& log,
                                             std::optional<HandOverState>& handedOver);

// Tries the lock at `lockPath` until `seconds` have passed; true once held.
// The caller's InstanceLock is replaced by each attempt.
bool waitForInstanceLock(std::optional<InstanceLock>& lock, const std::string& lockPath, double seconds);

}  // namespace vigilo
