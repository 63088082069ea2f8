#include "platform/linux/sessions/logind_remote_sessions.h"

#include <cstring>

#include <fmt/format.h>

namespace vigilo {

namespace {

constexpr const char* kService = "org.freedesktop.login1";
constexpr const char* kManagerPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";
constexpr const char* kSession = "org.freedesktop.login1.Session";
constexpr const char* kListSignature = "a(susso)";

struct SessionProperties {
    bool remote = false;
    std::string state;
};

// Reads Remote and State out of a GetAll answer (a{sv}); false when the
// answer is not in that form.
bool readSessionProperties(sd_bus_message* reply, SessionProperties& properties) {
    if (sd_bus_message_enter_container(reply, 'a', "{sv}") < 0) return false;
    int r;
    while ((r = sd_bus_message_enter_container(reply, 'e', "sv")) > 0) {
        const char* name = nullptr;
        if (sd_bus_message_read(reply, "s", &name) < 0) return false;
        if (std::strcmp(name, "Remote") == 0) {
            int remote = 0;
            if (sd_bus_message_read(reply, "v", "b", &remote) < 0) return false;
            properties.remote = remote != 0;
        } else if (std::strcmp(name, "State") == 0) {
            const char* state = nullptr;
            if (sd_bus_message_read(reply, "v", "s", &state) < 0) return false;
            properties.state = state;
        } else if (sd_bus_message_skip(reply, "v") < 0) {
            return false;
        }
        if (sd_bus_message_exit_container(reply) < 0) return false;
    }
    return r >= 0;
}

std::string errorText(const sd_bus_error* error) {
    return error->message ? error->message : error->name ? error->name : "unknown error";
}

}  // namespace

LogindRemoteSessions::~LogindRemoteSessions() { stop(); }

bool LogindRemoteSessions::anyActive() {
    if (!started_) start();
    return active_;
}

void LogindRemoteSessions::start() {
    started_ = true;
    dbus::BusError error;
    bus_ = dbus::openBus(dbus::BusKind::system, error);
    if (!bus_) return fail("no system bus: " + error.cause);
    sd_bus_slot* added = nullptr;
    sd_bus_slot* removed = nullptr;
    // Sent without waiting, before the list is asked for: the bus answers in
    // order, so no session can come or go unseen in between.
    int r = sd_bus_match_signal_async(bus_.get(), &added, kService, kManagerPath, kManager, "SessionNew",
                                      &LogindRemoteSessions::onSessionsChanged, nullptr, this);
    newMatch_.reset(added);
    if (r >= 0) {
        r = sd_bus_match_signal_async(bus_.get(), &removed, kService, kManagerPath, kManager, "SessionRemoved",
                                      &LogindRemoteSessions::onSessionsChanged, nullptr, this);
        removedMatch_.reset(removed);
    }
    if (r < 0) {
        stop();
        return fail(fmt::format("could not follow logind's sessions: {}", std::strerror(-r)));
    }
    busWatch_ = loop_.watchReadable(sd_bus_get_fd(bus_.get()), [this, alive = life_.weak()] {
        if (alive.lock()) drain();
    });
    refresh();
}

void LogindRemoteSessions::stop() {
    answerDeadline_.cancel();
    calls_.clear();
    busWatch_.cancel();
    newMatch_.reset();
    removedMatch_.reset();
    bus_.reset();
}

void LogindRemoteSessions::drain() {
    if (bus_ && !dbus::processPending(bus_.get())) {
        stop();
        fail("the system bus connection was lost");
    }
}

void LogindRemoteSessions::refresh() {
    if (!bus_) return;
    calls_.clear();
    sessionsToRead_ = 0;
    remoteFound_ = false;
    dbus::BusError error;
    auto call = dbus::newMethodCall(bus_.get(), {kService, kManagerPath, kManager, "ListSessions"}, error);
    if (!call) return fail(error.cause);
    if (!callAsync(call.get(), &LogindRemoteSessions::onListReply)) return;
    // sd-bus times calls out only when its own event loop runs; this one is
    // only watched for input, so the deadline is kept here.
    answerDeadline_ = loop_.startTimer(kAnswerTimeout, [this, alive = life_.weak()] {
        if (!alive.lock()) return;
        calls_.clear();
        fail(fmt::format("logind did not answer within {} s", kAnswerTimeout.count()));
    });
}

bool LogindRemoteSessions::callAsync(sd_bus_message* call, sd_bus_message_handler_t handler) {
    sd_bus_slot* slot = nullptr;
    int r = sd_bus_call_async(bus_.get(), &slot, call, handler, this, 0);
    if (r >= 0) {
        calls_.emplace_back(slot);
        r = sd_bus_flush(bus_.get());
    }
    if (r < 0) {
        calls_.clear();
        fail(fmt::format("could not ask logind: {}", std::strerror(-r)));
        return false;
    }
    return true;
}

void LogindRemoteSessions::readList(sd_bus_message* reply) {
    if (const sd_bus_error* error = sd_bus_message_get_error(reply)) {
        return fail("logind's ListSessions failed: " + errorText(error));
    }
    if (!sd_bus_message_has_signature(reply, kListSignature)) {
        const char* signature = sd_bus_message_get_signature(reply, 1);
        return fail(fmt::format("logind's ListSessions answered '{}', not '{}'", signature ? signature : "",
                                kListSignature));
    }
    std::vector<std::string> ours;
    if (sd_bus_message_enter_container(reply, 'a', "(susso)") >= 0) {
        const char *id = nullptr, *user = nullptr, *seat = nullptr, *path = nullptr;
        std::uint32_t uid = 0;
        while (sd_bus_message_read(reply, "(susso)", &id, &uid, &user, &seat, &path) > 0) {
            if (uid == uid_) ours.emplace_back(path);
        }
    }
    for (const std::string& path : ours) {
        dbus::BusError error;
        const dbus::MethodTarget getAll{kService, path.c_str(), "org.freedesktop.DBus.Properties", "GetAll"};
        auto call = dbus::newMethodCall(bus_.get(), getAll, error);
        if (!call || sd_bus_message_append(call.get(), "s", kSession) < 0) return fail("could not ask for a session");
        if (!callAsync(call.get(), &LogindRemoteSessions::onSessionReply)) return;
        ++sessionsToRead_;
    }
    if (sessionsToRead_ == 0) finishReading();
}

// A session that ended between the list and this question answers with an
// error: it no longer counts, and the others are still read.
void LogindRemoteSessions::readSession(sd_bus_message* reply) {
    SessionProperties properties;
    if (!sd_bus_message_get_error(reply)) {
        if (!readSessionProperties(reply, properties)) return fail("a logind session's properties were unreadable");
        if (properties.remote && (properties.state == "active" || properties.state == "online")) remoteFound_ = true;
    }
    if (--sessionsToRead_ == 0) finishReading();
}

void LogindRemoteSessions::finishReading() {
    answerDeadline_.cancel();
    calls_.clear();
    failing_ = false;
    setActive(remoteFound_);
}

void LogindRemoteSessions::fail(const std::string& why) {
    answerDeadline_.cancel();
    calls_.clear();
    sessionsToRead_ = 0;
    if (!failing_) log_.error("Remote sessions unknown, taken as none: {}", why);
    failing_ = true;
    setActive(false);
}

void LogindRemoteSessions::setActive(bool active) {
    if (active == active_) return;
    active_ = active;
    log_.info("{}", active ? "Someone is logged in remotely" : "No one is logged in remotely");
}

int LogindRemoteSessions::onSessionsChanged(sd_bus_message*, void* userdata, sd_bus_error*) {
    static_cast<LogindRemoteSessions*>(userdata)->refresh();
    return 0;
}

int LogindRemoteSessions::onListReply(sd_bus_message* reply, void* userdata, sd_bus_error*) {
    static_cast<LogindRemoteSessions*>(userdata)->readList(reply);
    return 0;
}

int LogindRemoteSessions::onSessionReply(sd_bus_message* reply, void* userdata, sd_bus_error*) {
    static_cast<LogindRemoteSessions*>(userdata)->readSession(reply);
    return 0;
}

}  // namespace vigilo
