#include "helper/helper_effects.h"

#include "helper/cli_install.h"
#include "helper/fan_writes.h"
#include "helper/lid_drop_in.h"
#include "rules/overloaded.h"

namespace vigilo {

HelperOutcome carryOut(const HelperRequest& request, const HelperRoots& roots) {
    return std::visit(Overloaded{
                          [&](const LidDropInRequest& lid) { return applyLidDropIn(lid.on, roots); },
                          [&](const FanManualRequest& fan) { return applyFanManual(fan, roots); },
                          [&](const FanAutoRequest& fan) { return applyFanAuto(fan, roots); },
                          [&](const CliInstallRequest& cli) { return applyCliInstall(cli, roots); },
                          [](const RefusedRequest& refused) { return HelperOutcome{kHelperRefused, refused.reason}; },
                      },
                      request);
}

}  // namespace vigilo
