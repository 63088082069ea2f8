#pragma once

#include <cstdint>
#include <string>

namespace vigilo {

// The two kinds of keep-awake request the application makes.
enum class AssertionKind {
    systemSleep,   // the machine does not idle-sleep
    displaySleep,  // the display does not idle-sleep either
};

using AssertionId = std::uint32_t;

// Asks the system to stay awake. Abstract so it can be faked in tests; the
// Linux implementation holds desktop and logind inhibitors. Main thread only
// (or the command line's only thread).
class PowerManagement {
public:
    virtual ~PowerManagement() = default;

    // Takes an assertion named `name` (what the system shows in its list of
    // inhibitors). Returns 0 and writes a non-zero identifier on success;
    // otherwise a non-zero failure code, and `id` is left alone.
    virtual int createAssertion(AssertionKind kind, const std::string& name, AssertionId& id) = 0;

    // Lets go of an assertion. Returns 0 when everything it held was released.
    virtual int releaseAssertion(AssertionId id) = 0;
};

}  // namespace vigilo
