#pragma once

#include <cstdlib>
#include <string_view>

namespace vigilo::testing {

// Whether tests/integration/test_power_management.py started its private
// buses for the scenario named (VIGILO_MOCKBUS_SCENARIO); the bus cases skip
// otherwise.
inline bool inMockBusScenario(std::string_view wanted) {
    const char* scenario = std::getenv("VIGILO_MOCKBUS_SCENARIO");
    return scenario && wanted == scenario;
}

}  // namespace vigilo::testing
