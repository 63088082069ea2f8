#pragma once

#include "helper/helper_effects.h"

namespace vigilo {

// Writes or removes logind's closed-lid drop-in, then has logind re-read its
// configuration.
HelperOutcome applyLidDropIn(bool on, const HelperRoots& roots);

}  // namespace vigilo
