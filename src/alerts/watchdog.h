#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/network_monitor.h"
#include "support/clock.h"
#include "support/loop.h"
#include "support/published.h"

namespace vigilo {

// Collects the alarming situations into one throttled stream of alerts: a
// stuck agent, a lost network, critical heat and a critical battery. It
// follows the network itself; the application reports the other three.
// Main thread only.
class Watchdog {
public:
    enum class Kind { agentStuck, thermalCritical, batteryCritical, networkLost };
    static constexpr std::array kAllKinds{Kind::agentStuck, Kind::thermalCritical, Kind::batteryCritical,
                                          Kind::networkLost};

    struct Alert {
        std::string id;  // upper-case UUID
        Kind kind = Kind::agentStuck;
        std::string message;
        WallTime at;
        bool operator==(const Alert&) const = default;
    };

    using AlertHandler = std::function<void(Kind kind, const std::string& message)>;

    static constexpr std::size_t kMaxRecentAlerts = 50;
    static constexpr std::chrono::seconds kPerKindCooldown{180};

    Watchdog(Loop& loop, NetworkMonitor& monitor);
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    Published<std::vector<Alert>> recentAlerts;  // newest first
    Published<bool> networkUp{true};
    Published<bool> isEnabled{false};

    // Set once by the application; called on the main thread for alerts
    // recorded with notify.
    AlertHandler onAlert;
    std::int64_t stuckAfterSeconds = 300;

    // On: records alerts and follows the network. Off: stops following it.
    void setEnabled(bool on);

    // The one entry for every alert: dropped while disabled, or when one of
    // the same kind was recorded less than kPerKindCooldown ago.
    void record(Kind kind, const std::string& message, bool notify);

private:
    void handleNetwork(bool up);

    Loop& loop_;
    NetworkMonitor& monitor_;
    Handle monitoring_;
    // Monotonic, so that a clock set back cannot silence a kind for hours.
    std::map<Kind, MonoTime> lastFired_;
};

// The text value of a kind: its name in log lines and the webhook event.
std::string_view watchdogKindName(Watchdog::Kind kind);

}  // namespace vigilo
