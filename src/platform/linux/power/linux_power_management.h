#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/dbus/bus.h"
#include "platform/linux/power/desktop_inhibitors.h"
#include "platform/linux/power/logind_inhibitor.h"
#include "platform/power_management.h"
#include "support/log.h"

namespace vigilo {

struct LinuxPowerManagementOptions {
    // Who asks: logind's "who", GNOME's app_id, the freedesktop services' app name.
    std::string appId = "Vigilo";
    // Longest wait for any one bus call; a missing bus fails at once.
    std::chrono::milliseconds callTimeout{3000};
};

// No single call keeps every Linux desktop awake, so each assertion holds
// whatever the running session honours, found from the names on the buses:
//  - logind (system bus): an "idle" block lock, one Inhibit call per lock.
//    Never a "sleep" lock: newer systemd would also block the user's own
//    suspend. Skipped for the system-sleep kind under KDE, which turns an idle
//    lock into "keep the screen on".
//  - GNOME (org.gnome.SessionManager), which ignores logind: flag 4 (suspend)
//    for system sleep, flag 8 (idle) for display sleep. Older gnome-session
//    turns flag 4 into a logind "sleep" block lock; when that shows up, flag 8
//    is used instead.
//  - KDE (org.freedesktop.PowerManagement): its Inhibit for system sleep,
//    org.freedesktop.ScreenSaver's for display sleep.
// The bus connections stay open while anything is held, because the desktop
// inhibitors end with the connection (so a crash releases everything), and
// are closed when the last assertion goes.
//
// Failure codes are positive errno values. Main thread only.
class LinuxPowerManagement final : public PowerManagement {
public:
    LinuxPowerManagement();
    explicit LinuxPowerManagement(LinuxPowerManagementOptions options);
    // Releases every assertion still held.
    ~LinuxPowerManagement() override;
    LinuxPowerManagement(const LinuxPowerManagement&) = delete;
    LinuxPowerManagement& operator=(const LinuxPowerManagement&) = delete;

    int createAssertion(AssertionKind kind, const std::string& name, AssertionId& id) override;
    int releaseAssertion(AssertionId id) override;

private:
    // Everything one assertion holds.
    struct Assertion {
        InhibitorLock logindLock;
        std::optional<std::uint32_t> gnomeCookie;
        std::optional<std::uint32_t> kdeCookie;
        std::optional<std::uint32_t> screenSaverCookie;

        bool holdsAnything() const;
    };
    // What went wrong while taking or releasing one; absences only matter
    // when nothing at all could be taken.
    struct Outcome {
        std::vector<std::string> failures;
        std::vector<std::string> absences;
        int firstCode = 0;

        void fail(const std::string& mechanism, const dbus::BusError& error);
    };

    sd_bus* bus(dbus::BusKind kind, Outcome& outcome);
    SessionServices sessionServices(Outcome& outcome);
    void takeLogindLock(Assertion& assertion, const std::string& name, Outcome& outcome);
    void takeGnomeInhibitor(Assertion& assertion, AssertionKind kind, const std::string& name, Outcome& outcome);
    bool gnomeMadeSleepLock(const std::string& name);
    void takeKdeInhibitor(Assertion& assertion, AssertionKind kind, const std::string& name,
                          const SessionServices& services, Outcome& outcome);
    void release(Assertion& assertion, Outcome& outcome);
    void closeBusesWhenIdle();

    LinuxPowerManagementOptions options_;
    Logger log_{"PowerAssertion"};
    dbus::BusPtr systemBus_;
    dbus::BusPtr sessionBus_;
    // Each bus is opened at most once per operation, so a missing one costs one try.
    bool systemBusTried_ = false;
    bool sessionBusTried_ = false;
    std::map<AssertionId, Assertion> held_;
    AssertionId lastId_ = 0;
};

}  // namespace vigilo
