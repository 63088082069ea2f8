#pragma once

#include "activity/activity_log.h"
#include "app/app_state.h"
#include "detection/process_watcher.h"
#include "ipc/ipc_application.h"

namespace vigilo {

// What the socket's commands see of the controller.
class AppStateIPC final : public IPCApplication {
public:
    explicit AppStateIPC(AppState& state) : state_(state) {}

    std::string modeLabel() const override { return state_.mode.get().shortLabel(); }
    bool isAutoWatch() const override { return state_.mode.get().is(KeepAwakeMode::Kind::autoWatch); }
    bool assertionActive() const override { return state_.assertionActive.get(); }
    std::optional<std::string> keptAwakeByRule() const override { return state_.keptAwakeByRule.get(); }
    std::optional<std::string> keepAwakeWarning() const override { return state_.keepAwakeFailure(); }
    bool clamshellActive() const override { return state_.clamshellActive.get(); }
    std::optional<BatteryReading> battery() const override {
        const auto& snapshot = state_.battery().currentSnapshot();
        if (!snapshot.hasBattery) return std::nullopt;
        return BatteryReading{snapshot.level, snapshot.isCharging};
    }
    std::string thermalLabel() const override { return ThermalMonitor::label(state_.thermal().currentLevel()); }
    std::vector<TaskDetail> tasks() const override {
        std::vector<TaskDetail> tasks;
        const bool cpuMeasured = state_.settings().useCpuDetection.get();
        const bool gpuMeasured = state_.settings().useGpuDetection.get();
        for (const auto& match : state_.watcher().matches.get()) {
            const bool hasGpu = gpuMeasured && match.gpuPercent >= 0;
            tasks.push_back({.name = match.displayName, .pid = match.id, .command = match.commandLine,
                             .busy = match.isActive, .idleSeconds = match.secondsSinceActive,
                             .cpuPercent = cpuMeasured ? std::optional(match.cpuPercent) : std::nullopt,
                             .gpuPercent = hasGpu ? std::optional(match.gpuPercent) : std::nullopt,
                             .gpuSource = hasGpu ? match.gpuSource : std::string()});
        }
        return tasks;
    }
    std::vector<std::string> watchPatterns() const override { return state_.settings().watchPatterns.get(); }
    WeeklyReport weeklyReport() const override {
        return WeeklyReport::generate(state_.activity().events().get(), state_.clock().wallNow());
    }
    std::optional<std::string> setWatchPatterns(std::vector<std::string> patterns) override {
        return state_.settings().watchPatterns.set(std::move(patterns));
    }
    void startAlwaysOn() override { state_.startAlwaysOn(); }
    void stop() override { state_.stop(); }
    void toggleAutoWatch() override { state_.toggleAutoWatch(); }
    void startTimer(double seconds) override { state_.startTimer(seconds); }
    void notifyAndPush(const std::string& title, const std::string& body) override {
        state_.notifyAndPush(title, body);
    }

private:
    AppState& state_;
};

}  // namespace vigilo
