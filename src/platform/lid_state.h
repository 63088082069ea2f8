#pragma once

#include <optional>

namespace vigilo {

// Whether the built-in display's lid is shut. Abstract so that the rule
// inputs can be tested with a fake. Main thread only; a reading may wait
// briefly on system services, never more than a second in all.
class LidState {
public:
    virtual ~LidState() = default;

    // True when the lid is closed, false when it is open, nothing when the
    // machine has no lid or its state cannot be read. Never throws.
    virtual std::optional<bool> isClosed() = 0;
};

}  // namespace vigilo
