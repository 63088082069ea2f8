#include "cli/cli_power_assertion.h"

namespace vigilo {

bool CLIPowerAssertion::take(const std::string& name) {
    if (isActive_) return true;
    AssertionId id = 0;
    if (power_.createAssertion(AssertionKind::systemSleep, name, id) != 0 || id == 0) return false;
    systemID_ = id;
    isActive_ = true;
    return true;
}

void CLIPowerAssertion::release() {
    if (!isActive_) return;
    power_.releaseAssertion(systemID_);
    systemID_ = 0;
    isActive_ = false;
}

}  // namespace vigilo
