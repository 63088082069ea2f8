#pragma once

#include <string>

#include "helper/helper_effects.h"

namespace vigilo {

// Has systemd send logind's main process SIGHUP, on which logind re-reads
// logind.conf and its drop-ins; a restart would end every session's locks.
// systemd knows which process that is: a process merely named
// systemd-logind may be anyone's. Asked on the system bus at `busAddress`;
// a failure comes back with systemd's reason.
HelperOutcome reloadLogind(const std::string& busAddress);

}  // namespace vigilo
