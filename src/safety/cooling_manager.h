#pragma once

#include <optional>
#include <vector>

#include "safety/fan_controller.h"
#include "safety/fan_preset.h"
#include "safety/smc.h"
#include "support/handle.h"
#include "support/loop.h"
#include "support/published.h"

namespace vigilo {

// Publishes, every 5 seconds, the hottest plausible temperature sensor, the
// fan readings and whether fan control works, and applies fan presets. SMC
// reads and writes run on background tasks; the published members change on
// the main thread only, and only when their value changes.
class CoolingManager {
public:
    struct Snapshot {
        std::optional<double> temperature;  // °C
        std::vector<FanController::Reading> fans;
        bool controlSupported = false;
        bool operator==(const Snapshot&) const = default;
    };

    // One scan; touches nothing but the SMC. Any thread.
    static Snapshot scan(SMC& smc);
    // The hottest reading in 1...130 °C (exclusive) of the 14 temperature keys.
    static std::optional<double> hottestTemperature(SMC& smc);
    // Drives every readable fan as `preset` says. Any thread.
    static void runPreset(SMC& smc, FanPreset preset);

    // The SMC must outlive the manager and its background tasks.
    CoolingManager(Loop& loop, SMC& smc);
    CoolingManager(const CoolingManager&) = delete;
    CoolingManager& operator=(const CoolingManager&) = delete;

    void start();
    void stop();
    void apply(FanPreset preset);
    // Applies `preset` where the fans can be driven. Asked before the first
    // scan has told (a rule or the heat at launch), it waits for that scan
    // instead of being dropped; a later request replaces a waiting one.
    void applyIfSupported(FanPreset preset);

    // Subscribe here; only the manager assigns them.
    Published<std::optional<double>>& temperature() { return temperature_; }
    Published<std::vector<FanController::Reading>>& fans() { return fans_; }
    Published<bool>& controlSupported() { return controlSupported_; }
    Published<FanPreset>& activePreset() { return activePreset_; }

private:
    void startScan();
    void take(const Snapshot& snapshot);

    Loop& loop_;
    SMC& smc_;
    Published<std::optional<double>> temperature_{std::nullopt};
    Published<std::vector<FanController::Reading>> fans_;
    Published<bool> controlSupported_{false};
    Published<FanPreset> activePreset_{FanPreset::balanced};
    Handle timer_;
    bool isScanning_ = false;
    bool scanned_ = false;
    std::optional<FanPreset> waitingPreset_;
    LifeToken life_;
};

}  // namespace vigilo
