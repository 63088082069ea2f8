#pragma once

#include "helper/helper_effects.h"

namespace vigilo {

HelperOutcome applyFanManual(const FanManualRequest& request, const HelperRoots& roots);
HelperOutcome applyFanAuto(const FanAutoRequest& request, const HelperRoots& roots);

}  // namespace vigilo
