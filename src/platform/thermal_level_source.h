#pragma once

#include <functional>

#include "support/handle.h"

namespace vigilo {

// The system's four-step thermal pressure and its change notification.
// Abstract so the thermal monitor can be tested with a fake; on Linux, which
// has no such service, the level is derived from the thermal zones.
// Main thread only.
class ThermalLevelSource {
public:
    virtual ~ThermalLevelSource() = default;

    // The raw pressure: 0 nominal, 1 fair, 2 serious, 3 critical. Any other
    // value (-1 where the computer has no sensor to read) means nothing is
    // known.
    virtual long thermalState() = 0;

    // Calls `onChange` on the main loop after the state changed, until the
    // returned Handle goes.
    virtual Handle watchChanges(std::function<void()> onChange) = 0;
};

}  // namespace vigilo
