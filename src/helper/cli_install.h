#pragma once

#include "helper/helper_effects.h"

namespace vigilo {

// Writes /usr/local/bin/vigilo for the given application executable, or
// removes it.
HelperOutcome applyCliInstall(const CliInstallRequest& request, const HelperRoots& roots);

}  // namespace vigilo
