#include "safety/cooling_manager.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

namespace vigilo {

namespace {

constexpr auto kScanInterval = std::chrono::seconds(5);

std::optional<double> celsius(const SMC::Value& value) {
    const auto& bytes = value.bytes;
    if (value.dataType.starts_with("sp") && bytes.size() >= 2) {
        // Signed fixed point with 8 fractional bits (sp78).
        return static_cast<double>(static_cast<std::int8_t>(bytes[0])) + bytes[1] / 256.0;
    }
    if (value.dataType.starts_with("flt") && bytes.size() >= 4) {
        float f;
        std::memcpy(&f, bytes.data(), sizeof f);
        return static_cast<double>(f);
    }
    return SMCDecode::number(value);
}

}  // namespace

std::optional<double> CoolingManager::hottestTemperature(SMC& smc) {
    std::optional<double> hottest;
    for (const char* key : kSMCTemperatureKeys) {
        auto value = smc.read(key);
        if (!value) continue;
        auto t = celsius(*value);
        // Both bounds exclusive; NaN fails the comparison too.
        if (!t || !(*t > 1.0 && *t < 130.0)) continue;
        hottest = std::max(hottest.value_or(*t), *t);
    }
    return hottest;
}

CoolingManager::Snapshot CoolingManager::scan(SMC& smc) {
    Snapshot snapshot;
    snapshot.temperature = hottestTemperature(smc);
    snapshot.fans = FanController::readAll(smc);
    if (FanController::count(smc) > 0) {
        auto actual = smc.read("F0Ac");
        snapshot.controlSupported = actual && SMCDecode::number(*actual).has_value();
    }
    return snapshot;
}

void CoolingManager::runPreset(SMC& smc, FanPreset preset) {
    for (const auto& fan : FanController::readAll(smc)) {
        switch (preset) {
            case FanPreset::quiet: FanController::setTarget(smc, fan.id, fan.minRPM); break;
            case FanPreset::balanced: FanController::setAutomatic(smc, fan.id); break;
            case FanPreset::aiWorkload:
                FanController::setTarget(smc, fan.id, fan.minRPM + (fan.maxRPM - fan.minRPM) * 0.7);
                break;
            case FanPreset::emergencyMax: FanController::setTarget(smc, fan.id, fan.maxRPM); break;
        }
    }
}

CoolingManager::CoolingManager(Loop& loop, SMC& smc) : loop_(loop), smc_(smc) {}

void CoolingManager::start() {
    startScan();
    timer_ = loop_.startRepeating(kScanInterval, [this, alive = life_.weak()] {
        loop_.post([this, alive] {
            if (alive.lock()) startScan();
        });
    });
}

void CoolingManager::stop() {
    timer_.cancel();
    smc_.close();
}

void CoolingManager::apply(FanPreset preset) {
    activePreset_.publish(preset);
    loop_.runInBackground(
        [&smc = smc_, preset] {
            runPreset(smc, preset);
            return true;
        },
        [this, alive = life_.weak()](bool) {
            if (alive.lock()) startScan();
        });
}

void CoolingManager::applyIfSupported(FanPreset preset) {
    if (!scanned_) {
        waitingPreset_ = preset;
    } else if (controlSupported_.get()) {
        apply(preset);
    }
}

void CoolingManager::startScan() {
    if (isScanning_) return;
    isScanning_ = true;
    loop_.runInBackground([&smc = smc_] { return scan(smc); },
                          [this, alive = life_.weak()](Snapshot snapshot) {
                              if (alive.lock()) take(snapshot);
                          });
}

void CoolingManager::take(const Snapshot& snapshot) {
    temperature_.set(snapshot.temperature);
    fans_.set(snapshot.fans);
    controlSupported_.set(snapshot.controlSupported);
    isScanning_ = false;
    scanned_ = true;
    if (auto waiting = std::exchange(waitingPreset_, std::nullopt); waiting && snapshot.controlSupported) {
        apply(*waiting);
    }
}

}  // namespace vigilo
