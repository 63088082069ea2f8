#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "activity/activity_event.h"
#include "support/clock.h"

namespace vigilo {

// One line of the activity window.
struct ActivityRow {
    std::string iconName;  // an icon theme name
    std::string title;
    std::string when;  // relative to now
};

// What the activity window shows at one moment.
struct ActivityView {
    std::string header;     // "12 events"
    bool canClear = false;  // "Clear" is off while there is nothing to clear
    std::string emptyText;  // shown instead of the rows when there are none
    std::vector<ActivityRow> rows;  // newest first, as the log keeps them
};

ActivityView activityView(const std::vector<ActivityEvent>& events, WallTime now);

// The icon theme name for an event's symbol: the application's own symbolic
// icons where it has one, otherwise the desktop's standard names.
std::string activityIconName(std::string_view symbol);

}  // namespace vigilo
