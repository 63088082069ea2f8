#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>

namespace vigilo {

using MonoTime = std::chrono::steady_clock::time_point;
using WallTime = std::chrono::system_clock::time_point;
using Duration = std::chrono::steady_clock::duration;

// The longest span the application schedules: a year. Far more than any
// keep-awake timer, and far from the ±292 years a nanosecond count holds.
inline constexpr std::chrono::seconds kLongestDuration{365LL * 24 * 3600};

// Seconds that came from outside (a command, a stored value) as a Duration:
// clamped to between 0 and a year before the conversion, since converting a
// double out of range is undefined; NaN counts as 0. The one place where
// such seconds become a Duration.
inline Duration durationFromSeconds(double seconds) {
    const double longest = static_cast<double>(kLongestDuration.count());
    const double clamped = std::isnan(seconds) ? 0.0 : std::clamp(seconds, 0.0, longest);
    return std::chrono::duration_cast<Duration>(std::chrono::duration<double>(clamped));
}

// Monotonic time measures intervals and never jumps; wall-clock time is what
// the user sees and jumps forward across a suspend. They are kept apart so a
// test can move one without the other.
class Clock {
public:
    virtual ~Clock() = default;
    virtual MonoTime monotonicNow() const = 0;
    virtual WallTime wallNow() const = 0;
};

class SystemClock final : public Clock {
public:
    MonoTime monotonicNow() const override { return std::chrono::steady_clock::now(); }
    WallTime wallNow() const override { return std::chrono::system_clock::now(); }
};

}  // namespace vigilo
