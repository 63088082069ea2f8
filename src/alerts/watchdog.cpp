#include "alerts/watchdog.h"

#include <algorithm>

#include "activity/activity_event.h"
#include "support/log.h"
#include "support/tr.h"

namespace vigilo {

std::string_view watchdogKindName(Watchdog::Kind kind) {
    switch (kind) {
        case Watchdog::Kind::agentStuck: return "agentStuck";
        case Watchdog::Kind::thermalCritical: return "thermalCritical";
        case Watchdog::Kind::batteryCritical: return "batteryCritical";
        case Watchdog::Kind::networkLost: return "networkLost";
    }
    return "agentStuck";
}

Watchdog::Watchdog(Loop& loop, NetworkMonitor& monitor) : loop_(loop), monitor_(monitor) {}

void Watchdog::setEnabled(bool on) {
    if (!isEnabled.set(on)) return;
    if (!on) {
        monitoring_.cancel();
        return;
    }
    // The handle goes with the watchdog, so the monitor never calls a
    // watchdog that is gone.
    monitoring_ = monitor_.start([this](bool up) { handleNetwork(up); });
}

void Watchdog::handleNetwork(bool up) {
    if (!networkUp.set(up)) return;
    if (!up) record(Kind::networkLost, tr("Network connection lost."), true);
}

void Watchdog::record(Kind kind, const std::string& message, bool notify) {
    if (!isEnabled.get()) return;
    const auto now = loop_.clock().monotonicNow();
    if (auto last = lastFired_.find(kind); last != lastFired_.end() && now - last->second < kPerKindCooldown) return;
    lastFired_[kind] = now;

    // A new list with the alert first, rather than an insert at the front
    // of a copy, whose inlined moves make GCC 12 warn (-Wnull-dereference).
    const auto& previous = recentAlerts.get();
    const std::size_t kept = std::min(previous.size(), kMaxRecentAlerts - 1);
    std::vector<Alert> alerts;
    alerts.reserve(kept + 1);
    alerts.push_back(Alert{makeUuid(), kind, message, loop_.clock().wallNow()});
    alerts.insert(alerts.end(), previous.begin(), previous.begin() + static_cast<std::ptrdiff_t>(kept));
    recentAlerts.publish(std::move(alerts));

    Logger("Watchdog").info("Watchdog: {} — {}", watchdogKindName(kind), message);
    if (notify && onAlert) onAlert(kind, message);
}

}  // namespace vigilo
