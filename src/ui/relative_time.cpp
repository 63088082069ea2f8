#include "ui/relative_time.h"

#include <array>
#include <cstdint>

#include "support/tr.h"

namespace vigilo {

namespace {

// One unit's texts; `pastOne` and `futureOne` are the named forms for a
// count of one ("yesterday"), or the plain singular where there is none.
struct Unit {
    std::int64_t seconds;
    const char* pastOne;
    const char* pastMany;
    const char* futureOne;
    const char* futureMany;
};

constexpr std::int64_t kMinute = 60, kHour = 60 * kMinute, kDay = 24 * kHour;

// Largest first: the first unit that fits at least once is the one shown.
constexpr std::array<Unit, 7> kUnits{{
    {365 * kDay, "last year", "{} years ago", "next year", "in {} years"},
    {30 * kDay, "last month", "{} months ago", "next month", "in {} months"},
    {7 * kDay, "last week", "{} weeks ago", "next week", "in {} weeks"},
    {kDay, "yesterday", "{} days ago", "tomorrow", "in {} days"},
    {kHour, "1 hour ago", "{} hours ago", "in 1 hour", "in {} hours"},
    {kMinute, "1 minute ago", "{} minutes ago", "in 1 minute", "in {} minutes"},
    {1, "1 second ago", "{} seconds ago", "in 1 second", "in {} seconds"},
}};

}  // namespace

std::string relativeTimeText(WallTime then, WallTime now) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - then).count();
    const bool past = seconds >= 0;
    const std::int64_t magnitude = past ? seconds : -seconds;
    for (const Unit& unit : kUnits) {
        const std::int64_t count = magnitude / unit.seconds;
        if (count == 0) continue;
        if (count == 1) return tr(past ? unit.pastOne : unit.futureOne);
        return trFormat(past ? unit.pastMany : unit.futureMany, count);
    }
    return tr("now");
}

}  // namespace vigilo
