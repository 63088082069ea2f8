#pragma once

#include <string>

#include "platform/power_management.h"

namespace vigilo {

// The wrap mode's own keep-awake assertion: held while the wrapped command
// runs, released once, and released on destruction if still held.
class CLIPowerAssertion {
public:
    explicit CLIPowerAssertion(PowerManagement& power) : power_(power) {}
    ~CLIPowerAssertion() { release(); }
    CLIPowerAssertion(const CLIPowerAssertion&) = delete;
    CLIPowerAssertion& operator=(const CLIPowerAssertion&) = delete;

    // Takes a system-sleep assertion named `name`; false when refused.
    bool take(const std::string& name);
    void release();

    AssertionId systemID() const { return systemID_; }
    bool isActive() const { return isActive_; }

private:
    PowerManagement& power_;
    AssertionId systemID_ = 0;
    bool isActive_ = false;
};

}  // namespace vigilo
