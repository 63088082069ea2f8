#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "activity/weekly_report.h"
#include "ipc/ipc_messages.h"

namespace vigilo {

// What the socket's commands read and do in the running application. The
// controller provides it; every call happens on the main thread.
class IPCApplication {
public:
    struct BatteryReading {
        std::int64_t percent = 0;
        bool isCharging = false;
    };

    virtual ~IPCApplication() = default;

    virtual std::string modeLabel() const = 0;
    virtual bool isAutoWatch() const = 0;
    virtual bool assertionActive() const = 0;
    // Why keep-awake asked for by the mode is not in force; nullopt when it
    // is, or was not asked for yet.
    virtual std::optional<std::string> keepAwakeWarning() const = 0;
    virtual bool clamshellActive() const = 0;
    // Absent on a machine without a battery.
    virtual std::optional<BatteryReading> battery() const = 0;
    virtual std::string thermalLabel() const = 0;
    // The workloads Auto Mode matches now, in order.
    virtual std::vector<TaskDetail> tasks() const = 0;
    virtual std::vector<std::string> watchPatterns() const = 0;
    // The rule holding the computer awake now (keepAwakeWhileHeld), if any.
    virtual std::optional<std::string> keptAwakeByRule() const { return std::nullopt; }
    // The week of the activity log up to now.
    virtual WeeklyReport weeklyReport() const = 0;
    // Stores the list as the settings tidy it; returns why it was refused
    // (nothing stored then).
    virtual std::optional<std::string> setWatchPatterns(std::vector<std::string> patterns) = 0;

    virtual void startAlwaysOn() = 0;
    virtual void stop() = 0;
    virtual void toggleAutoWatch() = 0;
    virtual void startTimer(double seconds) = 0;
    virtual void notifyAndPush(const std::string& title, const std::string& body) = 0;
};

}  // namespace vigilo
