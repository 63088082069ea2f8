#include "app/power_assertion_manager.h"

namespace vigilo {

PowerAssertionManager::~PowerAssertionManager() { releaseAll(); }

void PowerAssertionManager::start(bool preventDisplaySleep, const std::string& reason) {
    if (!holdsSystemAssertion_) {
        AssertionId id = 0;
        const int result = power_.createAssertion(AssertionKind::systemSleep, reason, id);
        systemAssertionRefused_ = result != 0;
        if (result == 0) {
            systemAssertionID_ = id;
            holdsSystemAssertion_ = true;
            log_.info("Created system-sleep assertion id={}", id);
        } else {
            // The display assertion is still attempted: keeping at least the
            // screen on is better than nothing.
            log_.error("Failed to create system-sleep assertion: {}", result);
        }
    }
    if (preventDisplaySleep && !holdsDisplayAssertion_) {
        AssertionId id = 0;
        const int result = power_.createAssertion(AssertionKind::displaySleep, reason, id);
        if (result == 0) {
            displayAssertionID_ = id;
            holdsDisplayAssertion_ = true;
            log_.info("Created display-sleep assertion id={}", id);
        } else {
            log_.error("Failed to create display-sleep assertion: {}", result);
        }
    }
    if (!preventDisplaySleep && holdsDisplayAssertion_) releaseDisplayOnly();
}

void PowerAssertionManager::releaseAll() {
    systemAssertionRefused_ = false;
    if (holdsSystemAssertion_) {
        const int result = power_.releaseAssertion(systemAssertionID_);
        log_.info("Released system-sleep assertion id={} result={}", systemAssertionID_, result);
        systemAssertionID_ = 0;
        holdsSystemAssertion_ = false;
    }
    releaseDisplayOnly();
}

void PowerAssertionManager::releaseDisplayOnly() {
    if (!holdsDisplayAssertion_) return;
    const int result = power_.releaseAssertion(displayAssertionID_);
    log_.info("Released display-sleep assertion id={} result={}", displayAssertionID_, result);
    displayAssertionID_ = 0;
    holdsDisplayAssertion_ = false;
}

}  // namespace vigilo
