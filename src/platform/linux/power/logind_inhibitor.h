#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/dbus/bus.h"

namespace vigilo {

// A logind inhibitor lock: held for exactly as long as this object keeps its
// file descriptor open. Move-only; the descriptor is close-on-exec, so a
// command started while the lock is held does not keep it alive.
class InhibitorLock {
public:
    InhibitorLock() = default;
    explicit InhibitorLock(int fd) : fd_(fd) {}
    ~InhibitorLock() { reset(); }
    InhibitorLock(InhibitorLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    InhibitorLock& operator=(InhibitorLock&& other) noexcept;
    InhibitorLock(const InhibitorLock&) = delete;
    InhibitorLock& operator=(const InhibitorLock&) = delete;

    bool held() const { return fd_ >= 0; }
    // Closes the descriptor, which ends the lock.
    void reset();

private:
    int fd_ = -1;
};

// One row of org.freedesktop.login1.Manager.ListInhibitors.
struct LogindInhibitor {
    std::string what;  // colon-separated: "idle", "sleep", "idle:sleep", ...
    std::string who;
    std::string why;
    std::string mode;  // "block" or "delay"
    std::uint32_t uid = 0;
    std::uint32_t pid = 0;

    bool inhibits(const std::string& kind) const;
};

// Takes a logind lock with one Inhibit(what, who, why, "block") call.
// Returns a lock that is not held, with `error` set, on failure.
InhibitorLock takeLogindLock(sd_bus* systemBus, const std::string& what, const std::string& who,
                             const std::string& why, std::chrono::microseconds timeout, dbus::BusError& error);

std::optional<std::vector<LogindInhibitor>> listLogindInhibitors(sd_bus* systemBus,
                                                                 std::chrono::microseconds timeout,
                                                                 dbus::BusError& error);

}  // namespace vigilo
