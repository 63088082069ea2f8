#pragma once

namespace vigilo {

// Asks the system to sleep now. Abstract so the controller can be tested
// with a fake; Linux asks logind. Main thread only.
class SystemSleep {
public:
    virtual ~SystemSleep() = default;

    // True when the request was sent. The answer comes later and is only
    // logged: the user may be asked to authorise it first.
    virtual bool requestSleep() = 0;
};

}  // namespace vigilo
