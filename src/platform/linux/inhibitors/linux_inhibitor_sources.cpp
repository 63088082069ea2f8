#include "platform/linux/inhibitors/linux_inhibitor_sources.h"

#include <cerrno>
#include <cstring>

#include "platform/linux/inhibitors/desktop_inhibitor_lists.h"
#include "platform/linux/inhibitors/holder_processes.h"
#include "platform/linux/power/logind_inhibitor.h"

namespace vigilo {

namespace {

constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr auto kRestAfterTimeout = std::chrono::seconds(30);

struct SignalSource {
    dbus::BusKind bus;
    const char* sender;
    const char* path;
    const char* interface;
    const char* member;
};

constexpr SignalSource kSignals[] = {
    {dbus::BusKind::system, "org.freedesktop.login1", "/org/freedesktop/login1", kProperties, "PropertiesChanged"},
    {dbus::BusKind::session, "org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager",
     "InhibitorAdded"},
    {dbus::BusKind::session, "org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager",
     "InhibitorRemoved"},
    {dbus::BusKind::session, "org.kde.Solid.PowerManagement.PolicyAgent", "/org/kde/Solid/PowerManagement/PolicyAgent",
     kProperties, "PropertiesChanged"},
    {dbus::BusKind::session, "org.kde.Solid.PowerManagement.PolicyAgent", "/org/kde/Solid/PowerManagement/PolicyAgent",
     "org.kde.Solid.PowerManagement.PolicyAgent", "InhibitionsChanged"},
};

bool absent(const dbus::BusError& error) {
    return error.name == "org.freedesktop.DBus.Error.ServiceUnknown" ||
           error.name == "org.freedesktop.DBus.Error.NameHasNoOwner";
}

// Each missing source is skipped; only what went wrong with a present one,
// or with the bus itself, is worth telling when nothing could be read.
void note(std::vector<std::string>& failures, const char* source, const dbus::BusError& error) {
    failures.push_back(std::string(source) + ": " + (absent(error) ? "not running" : error.cause));
}

}  // namespace

LinuxInhibitorSources::LinuxInhibitorSources(Loop* loop, std::filesystem::path procRoot)
    : loop_(loop), procRoot_(std::move(procRoot)) {}

LinuxInhibitorSources::~LinuxInhibitorSources() { stopWatching(); }

sd_bus* LinuxInhibitorSources::bus(Connection& connection, std::vector<std::string>& failures) {
    if (!connection.bus && !connection.tried) {
        connection.tried = true;
        dbus::BusError error;
        connection.bus = dbus::openBus(connection.kind, error);
        if (!connection.bus) failures.push_back(error.cause);
        if (connection.bus && onChange_) subscribe(connection);
    }
    return connection.bus.get();
}

void LinuxInhibitorSources::forget(Connection& connection) {
    connection.busWatch.cancel();
    std::erase_if(matches_,
                  [&](const SlotPtr& slot) { return sd_bus_slot_get_bus(slot.get()) == connection.bus.get(); });
    connection.bus.reset();
}

bool LinuxInhibitorSources::resting(Service service, std::vector<std::string>& failures) const {
    const auto& until = restUntil_[service];
    if (!loop_ || !until || loop_->clock().monotonicNow() >= *until) return false;
    static constexpr const char* kNames[] = {"logind", "GNOME", "KDE"};
    failures.push_back(std::string(kNames[service]) + ": did not answer in time");
    return true;
}

void LinuxInhibitorSources::rest(Service service, const dbus::BusError& error) {
    // Only the application reads again and again; `vigilo why` reads once.
    if (!loop_) return;
    if (error.code == ETIMEDOUT) {
        restUntil_[service] = loop_->clock().monotonicNow() + kRestAfterTimeout;
    } else {
        restUntil_[service].reset();
    }
}

InhibitorSnapshot LinuxInhibitorSources::read() {
    InhibitorSnapshot snapshot;
    // A bus that could not be opened is tried again at each read: a session
    // may have started since.
    if (!system_.bus) system_.tried = false;
    if (!session_.bus) session_.tried = false;

    if (sd_bus* system = bus(system_, snapshot.failures); system && !resting(logind, snapshot.failures)) {
        dbus::BusError error;
        if (auto rows = listLogindInhibitors(system, kSourceLimit, error)) {
            std::vector<LogindLock> locks;
            locks.reserve(rows->size());
            for (auto& row : *rows) {
                locks.push_back({.what = std::move(row.what), .who = std::move(row.who), .why = std::move(row.why),
                                 .mode = std::move(row.mode), .uid = row.uid, .pid = row.pid});
            }
            describeHolders(locks, procRoot_);
            snapshot.logind = std::move(locks);
        } else {
            note(snapshot.failures, "logind", error);
            rest(logind, error);
            if (error.connectionLost()) forget(system_);
        }
    }
    if (sd_bus* session = bus(session_, snapshot.failures)) {
        dbus::BusError error;
        if (!resting(gnome, snapshot.failures)) {
            snapshot.gnome = readGnomeInhibitors(session, kSourceLimit, error);
            if (!snapshot.gnome) note(snapshot.failures, "GNOME", error);
            rest(gnome, error);
        }
        if (error.connectionLost()) {
            forget(session_);
        } else if (!resting(kde, snapshot.failures)) {
            dbus::BusError kdeError;
            snapshot.kde = readKdeInhibitions(session, kSourceLimit, kdeError);
            if (!snapshot.kde) note(snapshot.failures, "KDE", kdeError);
            rest(kde, kdeError);
            if (kdeError.connectionLost()) forget(session_);
        }
    }
    // Signals that came in with the replies wait in the connections' queues.
    if (loop_ && onChange_) {
        loop_->post([this, alive = life_.weak()] {
            if (!alive.lock()) return;
            drain(system_);
            drain(session_);
        });
    }
    return snapshot;
}

Handle LinuxInhibitorSources::watch(std::function<void()> onChange) {
    stopWatching();
    if (!loop_) return {};
    onChange_ = std::move(onChange);
    std::vector<std::string> failures;
    if (!system_.bus) system_.tried = false;
    if (!session_.bus) session_.tried = false;
    bool any = false;
    for (Connection* connection : {&system_, &session_}) {
        if (connection->bus) {
            any = subscribe(*connection) || any;
        } else if (bus(*connection, failures)) {
            any = true;  // subscribed on opening
        }
    }
    if (!any) {
        onChange_ = nullptr;
        return {};
    }
    return Handle([this, alive = life_.weak()] {
        if (alive.lock()) stopWatching();
    });
}

bool LinuxInhibitorSources::subscribe(Connection& connection) {
    for (const auto& source : kSignals) {
        if (source.bus != connection.kind) continue;
        sd_bus_slot* slot = nullptr;
        if (sd_bus_match_signal_async(connection.bus.get(), &slot, source.sender, source.path, source.interface,
                                      source.member, &LinuxInhibitorSources::onSignal, nullptr, this) < 0) {
            return false;
        }
        matches_.emplace_back(slot);
    }
    connection.busWatch = loop_->watchReadable(sd_bus_get_fd(connection.bus.get()),
                                               [this, &connection, alive = life_.weak()] {
                                                   if (alive.lock()) drain(connection);
                                               });
    return true;
}

void LinuxInhibitorSources::drain(Connection& connection) {
    if (!connection.bus) return;
    if (!dbus::processPending(connection.bus.get())) {
        // Opened again at the next read; that read also subscribes again.
        forget(connection);
    }
}

void LinuxInhibitorSources::stopWatching() {
    system_.busWatch.cancel();
    session_.busWatch.cancel();
    matches_.clear();
    onChange_ = nullptr;
}

int LinuxInhibitorSources::onSignal(sd_bus_message*, void* userdata, sd_bus_error*) {
    auto* self = static_cast<LinuxInhibitorSources*>(userdata);
    if (self->onChange_) self->onChange_();
    return 0;
}

}  // namespace vigilo
