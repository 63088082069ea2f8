#include "ui/activity_view_model.h"

#include <array>
#include <utility>

#include "support/tr.h"
#include "ui/relative_time.h"

namespace vigilo {

ActivityView activityView(const std::vector<ActivityEvent>& events, WallTime now) {
    ActivityView view;
    view.header = trPluralFormat("{} event", "{} events", events.size(), events.size());
    view.canClear = !events.empty();
    if (events.empty()) view.emptyText = tr("No activity yet.");
    view.rows.reserve(events.size());
    for (const ActivityEvent& event : events) {
        view.rows.push_back({activityIconName(event.symbol()), event.localizedTitle(), relativeTimeText(event.at, now)});
    }
    return view;
}

std::string activityIconName(std::string_view symbol) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 17> kIcons{{
        {"power", "system-shutdown-symbolic"},
        {"sun.max.fill", "vigilo-sun-symbolic"},
        {"moon.zzz", "vigilo-moon-symbolic"},
        {"laptopcomputer.and.arrow.down", "vigilo-lid-symbolic"},
        {"laptopcomputer", "computer-symbolic"},
        {"battery.25", "battery-caution-symbolic"},
        {"battery.0", "battery-empty-symbolic"},
        {"powersleep", "weather-clear-night-symbolic"},
        {"thermometer.high", "vigilo-thermometer-symbolic"},
        {"timer", "vigilo-timer-symbolic"},
        {"terminal.fill", "vigilo-terminal-symbolic"},
        {"checkmark.circle", "emblem-ok-symbolic"},
        {"shield", "security-medium-symbolic"},
        {"shield.lefthalf.filled", "security-low-symbolic"},
        {"checkmark.shield", "security-high-symbolic"},
        {"exclamationmark.triangle", "dialog-warning-symbolic"},
        {"wifi.slash", "network-wireless-offline-symbolic"},
    }};
    for (const auto& [from, to] : kIcons) {
        if (from == symbol) return std::string(to);
    }
    return "dialog-information-symbolic";
}

}  // namespace vigilo
