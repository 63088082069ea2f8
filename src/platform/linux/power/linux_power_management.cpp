#include "platform/linux/power/linux_power_management.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <cerrno>

namespace vigilo {

namespace {

// gnome-session's own text for the single logind lock it takes on behalf of
// all of the session's suspend inhibitors.
constexpr const char* kGnomeSessionSleepWhy = "user session inhibited";

}  // namespace

bool LinuxPowerManagement::Assertion::holdsAnything() const {
    return logindLock.held() || gnomeCookie || kdeCookie || screenSaverCookie;
}

void LinuxPowerManagement::Outcome::fail(const std::string& mechanism, const dbus::BusError& error) {
    failures.push_back(fmt::format("{}: {}", mechanism, error.cause));
    if (firstCode == 0) firstCode = error.code;
}

LinuxPowerManagement::LinuxPowerManagement() : LinuxPowerManagement(LinuxPowerManagementOptions{}) {}

LinuxPowerManagement::LinuxPowerManagement(LinuxPowerManagementOptions options) : options_(std::move(options)) {}

LinuxPowerManagement::~LinuxPowerManagement() {
    while (!held_.empty()) releaseAssertion(held_.begin()->first);
}

int LinuxPowerManagement::createAssertion(AssertionKind kind, const std::string& name, AssertionId& id) {
    systemBusTried_ = sessionBusTried_ = false;
    Outcome outcome;
    Assertion assertion;
    const SessionServices services = sessionServices(outcome);
    if (!(kind == AssertionKind::systemSleep && services.kde)) takeLogindLock(assertion, name, outcome);
    if (services.gnome) takeGnomeInhibitor(assertion, kind, name, outcome);
    if (services.kde) takeKdeInhibitor(assertion, kind, name, services, outcome);

    if (!assertion.holdsAnything()) {
        std::vector<std::string> causes = outcome.failures;
        causes.insert(causes.end(), outcome.absences.begin(), outcome.absences.end());
        log_.error("Could not keep the system awake for \"{}\": {}", name, fmt::join(causes, "; "));
        closeBusesWhenIdle();
        return outcome.firstCode != 0 ? outcome.firstCode : EIO;
    }
    if (!outcome.failures.empty())
        log_.error("Keeping the system awake for \"{}\" with less than the session offers: {}", name,
                   fmt::join(outcome.failures, "; "));
    // Identifiers are never 0 and never reused while held, also after wrapping.
    do {
        ++lastId_;
    } while (lastId_ == 0 || held_.count(lastId_) != 0);
    held_.emplace(lastId_, std::move(assertion));
    id = lastId_;
    return 0;
}

int LinuxPowerManagement::releaseAssertion(AssertionId id) {
    auto found = held_.find(id);
    if (found == held_.end()) {
        log_.error("No assertion with id={} to release", id);
        return EINVAL;
    }
    systemBusTried_ = sessionBusTried_ = false;
    Outcome outcome;
    release(found->second, outcome);
    held_.erase(found);
    closeBusesWhenIdle();
    if (!outcome.failures.empty()) {
        log_.error("Could not cleanly release assertion id={}: {}", id, fmt::join(outcome.failures, "; "));
        return outcome.firstCode != 0 ? outcome.firstCode : EIO;
    }
    return 0;
}

sd_bus* LinuxPowerManagement::bus(dbus::BusKind kind, Outcome& outcome) {
    const bool system = kind == dbus::BusKind::system;
    dbus::BusPtr& connection = system ? systemBus_ : sessionBus_;
    // A connection the bus has dropped holds nothing any more; start afresh.
    if (connection && sd_bus_is_open(connection.get()) > 0) return connection.get();
    bool& tried = system ? systemBusTried_ : sessionBusTried_;
    if (tried) return nullptr;
    tried = true;
    dbus::BusError error;
    connection = dbus::openBus(kind, error);
    if (!connection) {
        outcome.absences.push_back(error.cause);
        if (system && outcome.firstCode == 0) outcome.firstCode = error.code;
    }
    return connection.get();
}

SessionServices LinuxPowerManagement::sessionServices(Outcome& outcome) {
    sd_bus* session = bus(dbus::BusKind::session, outcome);
    if (!session) return {};
    dbus::BusError error;
    auto names = dbus::listNames(session, options_.callTimeout, error);
    if (!names) {
        outcome.absences.push_back("session bus: " + error.cause);
        return {};
    }
    return SessionServices::fromNames(*names);
}

void LinuxPowerManagement::takeLogindLock(Assertion& assertion, const std::string& name, Outcome& outcome) {
    sd_bus* system = bus(dbus::BusKind::system, outcome);
    if (!system) return;
    dbus::BusError error;
    assertion.logindLock = vigilo::takeLogindLock(system, "idle", options_.appId, name, options_.callTimeout, error);
    if (!assertion.logindLock.held()) outcome.fail("logind", error);
}

void LinuxPowerManagement::takeGnomeInhibitor(Assertion& assertion, AssertionKind kind, const std::string& name,
                                              Outcome& outcome) {
    sd_bus* session = bus(dbus::BusKind::session, outcome);
    dbus::BusError error;
    const std::uint32_t flags = kind == AssertionKind::systemSleep ? kGnomeInhibitSuspend : kGnomeInhibitIdle;
    assertion.gnomeCookie = gnomeInhibit(session, options_.appId, name, flags, options_.callTimeout, error);
    if (!assertion.gnomeCookie) {
        outcome.fail("GNOME session", error);
        return;
    }
    if (flags != kGnomeInhibitSuspend || !gnomeMadeSleepLock(name)) return;

    log_.info("GNOME session turned the suspend inhibitor for \"{}\" into a sleep lock; using an idle inhibitor",
              name);
    if (!gnomeUninhibit(session, *assertion.gnomeCookie, options_.callTimeout, error))
        outcome.fail("GNOME session", error);
    assertion.gnomeCookie = gnomeInhibit(session, options_.appId, name, kGnomeInhibitIdle, options_.callTimeout, error);
    if (!assertion.gnomeCookie) outcome.fail("GNOME session", error);
}

bool LinuxPowerManagement::gnomeMadeSleepLock(const std::string& name) {
    Outcome ignored;
    sd_bus* system = bus(dbus::BusKind::system, ignored);
    if (!system) return false;
    dbus::BusError error;
    auto inhibitors = listLogindInhibitors(system, options_.callTimeout, error);
    if (!inhibitors) return false;
    for (const LogindInhibitor& inhibitor : *inhibitors) {
        if (!inhibitor.inhibits("sleep") || inhibitor.mode != "block") continue;
        // Older gnome-session takes one lock for the whole session; some
        // versions pass the caller's own names through.
        if (inhibitor.why == kGnomeSessionSleepWhy || (inhibitor.who == options_.appId && inhibitor.why == name))
            return true;
    }
    return false;
}

void LinuxPowerManagement::takeKdeInhibitor(Assertion& assertion, AssertionKind kind, const std::string& name,
                                            const SessionServices& services, Outcome& outcome) {
    sd_bus* session = bus(dbus::BusKind::session, outcome);
    dbus::BusError error;
    if (kind == AssertionKind::systemSleep) {
        assertion.kdeCookie = freedesktopInhibit(session, FreedesktopInhibitor::powerManagement, options_.appId, name,
                                                 options_.callTimeout, error);
        if (!assertion.kdeCookie) outcome.fail("KDE power management", error);
    } else if (services.screenSaver) {
        assertion.screenSaverCookie = freedesktopInhibit(session, FreedesktopInhibitor::screenSaver, options_.appId,
                                                         name, options_.callTimeout, error);
        if (!assertion.screenSaverCookie) outcome.fail("screen saver", error);
    }
}

void LinuxPowerManagement::release(Assertion& assertion, Outcome& outcome) {
    assertion.logindLock.reset();
    if (!assertion.gnomeCookie && !assertion.kdeCookie && !assertion.screenSaverCookie) return;
    // Desktop inhibitors end with the connection that took them: if it is
    // gone, so are they.
    if (!sessionBus_ || sd_bus_is_open(sessionBus_.get()) <= 0) return;
    sd_bus* session = sessionBus_.get();
    dbus::BusError error;
    if (assertion.gnomeCookie && !gnomeUninhibit(session, *assertion.gnomeCookie, options_.callTimeout, error))
        outcome.fail("GNOME session", error);
    if (assertion.kdeCookie && !freedesktopUnInhibit(session, FreedesktopInhibitor::powerManagement,
                                                     *assertion.kdeCookie, options_.callTimeout, error))
        outcome.fail("KDE power management", error);
    if (assertion.screenSaverCookie && !freedesktopUnInhibit(session, FreedesktopInhibitor::screenSaver,
                                                             *assertion.screenSaverCookie, options_.callTimeout, error))
        outcome.fail("screen saver", error);
}

void LinuxPowerManagement::closeBusesWhenIdle() {
    if (!held_.empty()) return;
    systemBus_.reset();
    sessionBus_.reset();
}

}  // namespace vigilo
