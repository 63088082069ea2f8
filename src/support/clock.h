#pragma once

#include <chrono>

namespace vigilo {

using MonoTime = std::chrono::steady_clock::time_point;
using WallTime = std::chrono::system_clock::time_point;
using Duration = std::chrono::steady_clock::duration;

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
