#include "support/local_time.h"

#include <ctime>

namespace vigilo {

int localMinutesOfDay(WallTime time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    if (!::localtime_r(&seconds, &local)) return 0;
    return local.tm_hour * 60 + local.tm_min;
}

}  // namespace vigilo
