#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/power_sources.h"
#include "platform/thermal_level_source.h"

namespace vigilo::testing {

// Power sources the test sets by hand; a change is announced at once.
struct FakePowerSources final : PowerSources {
    std::optional<std::vector<PowerSourceDescription>> sources;  // none: a desktop
    bool notificationsWork = true;
    std::function<void()> notify;
    int reads = 0;

    std::optional<std::vector<PowerSourceDescription>> copySources() override {
        ++reads;
        return sources;
    }
    std::optional<Handle> watchChanges(std::function<void()> onChange) override {
        if (!notificationsWork) return std::nullopt;
        notify = std::move(onChange);
        return Handle([this] { notify = nullptr; });
    }
    void setBattery(int percent, bool onAC) {
        sources = std::vector<PowerSourceDescription>{{
            {"Type", std::string("InternalBattery")},
            {"Current Capacity", std::int64_t{percent}},
            {"Max Capacity", std::int64_t{100}},
            {"Power Source State", std::string(onAC ? "AC Power" : "Battery Power")},
            {"Is Charging", onAC},
        }};
        if (notify) notify();
    }
};

// A thermal state the test reports by hand.
struct FakeThermalSource final : ThermalLevelSource {
    long state = 0;
    std::function<void()> notify;

    long thermalState() override { return state; }
    Handle watchChanges(std::function<void()> onChange) override {
        notify = std::move(onChange);
        return Handle([this] { notify = nullptr; });
    }
    void report(long newState) {
        state = newState;
        if (notify) notify();
    }
};

}  // namespace vigilo::testing
