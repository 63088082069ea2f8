#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/handle.h"

namespace vigilo {

// A process that holds a lock, as far as it could be read: it may have
// exited, or belong to someone whose details stay private.
struct HolderProcess {
    std::string name;                   // the kernel's short name; empty when gone
    std::optional<std::uint32_t> owner;  // its uid
    // The first child of a holder that only waits for another program
    // (systemd-inhibit, Vigilo's wrap mode): that program is the real work.
    struct Child {
        std::int32_t pid = 0;
        std::uint32_t owner = 0;
        std::string commandLine;
        bool operator==(const Child&) const = default;
    };
    std::optional<Child> child;

    bool operator==(const HolderProcess&) const = default;
};

// One row of logind's ListInhibitors.
struct LogindLock {
    std::string what;  // colon list: "sleep", "idle:sleep", "handle-lid-switch", ...
    std::string who;
    std::string why;
    std::string mode;  // "block", "block-weak" or "delay"
    std::uint32_t uid = 0;
    std::uint32_t pid = 0;
    HolderProcess holder;

    bool operator==(const LogindLock&) const = default;
};

// One of GNOME's org.gnome.SessionManager.Inhibitor objects.
struct GnomeLock {
    std::string appId;
    std::string reason;
    std::uint32_t flags = 0;  // 1 logout, 2 user switch, 4 suspend, 8 idle, 16 automount

    bool operator==(const GnomeLock&) const = default;
};

// One of KDE's inhibitions. The older forms (ListInhibitions) carry only who
// and why: `what` and `mode` are empty then.
struct KdeLock {
    std::string what;
    std::string who;
    std::string why;
    std::string mode;
    std::uint32_t flags = 0;

    bool operator==(const KdeLock&) const = default;
};

// What each source said at one moment. A source that is not there, or that
// did not answer in time or in the expected form, is nullopt.
struct InhibitorSnapshot {
    std::optional<std::vector<LogindLock>> logind;
    std::optional<std::vector<GnomeLock>> gnome;
    std::optional<std::vector<KdeLock>> kde;
    // Why each missing source could not be read, for the person when none could.
    std::vector<std::string> failures;

    bool anyRead() const { return logind || gnome || kde; }
    bool operator==(const InhibitorSnapshot&) const = default;
};

// Every sleep and idle lock on the system, from the services that keep them.
// Each source gets a bounded time (2 seconds); a missing one is skipped.
class InhibitorSources {
public:
    virtual ~InhibitorSources() = default;

    // Reads all sources now, waiting for their answers.
    virtual InhibitorSnapshot read() = 0;

    // Calls `onChange` on the loop thread whenever any source says a lock was
    // taken or released (without saying which: read() again). The Handle
    // ends the watch; an empty Handle means nothing can be watched.
    virtual Handle watch(std::function<void()> onChange) = 0;
};

}  // namespace vigilo
