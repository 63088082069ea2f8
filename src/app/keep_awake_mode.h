#pragma once

#include <optional>
#include <string>

#include "support/clock.h"

namespace vigilo {

// Why the application currently wants the computer awake. A plain value:
// copied, never shared. Only `timer` carries data, the wall-clock time at
// which it ends.
class KeepAwakeMode {
public:
    enum class Kind { timer, off, on, chargingOnly, autoWatch, runCommand };

    static KeepAwakeMode timer(WallTime expiresAt) { return KeepAwakeMode(Kind::timer, expiresAt); }
    static KeepAwakeMode off() { return KeepAwakeMode(Kind::off); }
    static KeepAwakeMode on() { return KeepAwakeMode(Kind::on); }
    static KeepAwakeMode chargingOnly() { return KeepAwakeMode(Kind::chargingOnly); }
    static KeepAwakeMode autoWatch() { return KeepAwakeMode(Kind::autoWatch); }
    static KeepAwakeMode runCommand() { return KeepAwakeMode(Kind::runCommand); }

    Kind kind() const { return kind_; }
    bool is(Kind kind) const { return kind_ == kind; }

    // The end of a timer; nullopt for every other mode.
    std::optional<WallTime> expiresAt() const;

    // The user-visible short name ("Awake On", "Timer Active", ...),
    // translated into the current locale.
    std::string shortLabel() const;

    // Two timers are equal only when they end at the same time; every other
    // mode is equal only to itself.
    friend bool operator==(const KeepAwakeMode&, const KeepAwakeMode&) = default;

private:
    explicit KeepAwakeMode(Kind kind, WallTime expiresAt = {}) : kind_(kind), expiresAt_(expiresAt) {}

    Kind kind_;
    WallTime expiresAt_;  // the epoch unless kind_ is timer
};

}  // namespace vigilo
