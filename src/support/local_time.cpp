#include "support/local_time.h"

#include <ctime>

namespace vigilo {

LocalTimeOfWeek localTimeOfWeek(WallTime time) {
    // localtime_r() keeps the zone it read first; tzset() reads TZ again.
    ::tzset();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    if (!::localtime_r(&seconds, &local)) return {};
    return {local.tm_wday == 0 ? 7 : local.tm_wday, local.tm_hour * 60 + local.tm_min};
}

}  // namespace vigilo
