#pragma once

#include <string>

#include "platform/power_management.h"
#include "support/log.h"

namespace vigilo {

// The only object in the application that asks the system to stay awake. It
// holds at most one system-sleep and one display-sleep assertion; a failed
// creation is logged and shows only in the flags, and the next start() tries
// again. Main thread only. Destroying it releases everything it holds.
class PowerAssertionManager {
public:
    explicit PowerAssertionManager(PowerManagement& power) : power_(power) {}
    ~PowerAssertionManager();
    PowerAssertionManager(const PowerAssertionManager&) = delete;
    PowerAssertionManager& operator=(const PowerAssertionManager&) = delete;

    // Makes the held set match the request: the system-sleep assertion is
    // taken if not yet held, the display-sleep one follows the flag. `reason`
    // names newly taken assertions in the system's list. Calling it again
    // while holding changes nothing but the display assertion.
    void start(bool preventDisplaySleep, const std::string& reason);

    // Releases everything held; the flags are cleared whatever the system
    // answers. Makes no call when nothing is held.
    void releaseAll();

    bool holdsSystemAssertion() const { return holdsSystemAssertion_; }
    bool holdsDisplayAssertion() const { return holdsDisplayAssertion_; }
    // True when the latest start() could not take the system-sleep assertion
    // and nothing was taken or released since: keep-awake was asked for and
    // refused. (A display-sleep assertion alone does not keep the machine up.)
    bool systemAssertionRefused() const { return systemAssertionRefused_; }

private:
    void releaseDisplayOnly();

    PowerManagement& power_;
    Logger log_{"PowerAssertion"};
    AssertionId systemAssertionID_ = 0;   // non-zero only while held
    AssertionId displayAssertionID_ = 0;  // non-zero only while held
    bool holdsSystemAssertion_ = false;
    bool holdsDisplayAssertion_ = false;
    bool systemAssertionRefused_ = false;
};

}  // namespace vigilo
