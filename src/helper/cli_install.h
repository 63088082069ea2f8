#pragma once

#include "helper/helper_effects.h"

namespace vigilo {

// Writes /usr/local/bin/vigilo for the given application executable, which
// only the administrator may be able to change, or removes the wrapper Vigilo
// wrote there. A refusal a person can act on comes back with `forPerson`.
HelperOutcome applyCliInstall(const CliInstallRequest& request, const HelperRoots& roots);

}  // namespace vigilo
