#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/linux/dbus/bus.h"
#include "platform/linux/power/logind_inhibitor.h"

namespace vigilo::testing {

// The mock logind's locks once their count is `count`, or after three
// seconds: logind notices a closed descriptor or a vanished caller when it
// gets round to it.
inline std::vector<LogindInhibitor> logindLocksSettledAt(std::size_t count) {
    using namespace std::chrono_literals;
    dbus::BusError error;
    auto bus = dbus::openBus(dbus::BusKind::system, error);
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    std::vector<LogindInhibitor> rows;
    do {
        auto listed = bus ? listLogindInhibitors(bus.get(), 3s, error) : std::nullopt;
        EXPECT_TRUE(listed) << error.cause;
        rows = listed.value_or(rows);
        if (rows.size() == count) break;
        std::this_thread::sleep_for(5ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return rows;
}

}  // namespace vigilo::testing
