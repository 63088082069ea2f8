#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/linux/dbus/bus.h"
#include "platform/remote_sessions.h"
#include "support/log.h"
#include "support/loop.h"

namespace vigilo {

// This user's remote sessions as logind lists them on the system bus: a
// session counts while its Remote property is true and its State "active"
// or "online". The list is read when first asked for and again at every
// SessionNew and SessionRemoved signal; nothing is polled. Until an answer
// comes, and wherever logind cannot be asked or answers in a form not its
// own, no session counts, and one line is logged per run of failures.
// Main thread only.
class LogindRemoteSessions final : public RemoteSessions {
public:
    LogindRemoteSessions(Loop& loop, uid_t uid) : loop_(loop), uid_(uid) {}
    ~LogindRemoteSessions() override;
    LogindRemoteSessions(const LogindRemoteSessions&) = delete;
    LogindRemoteSessions& operator=(const LogindRemoteSessions&) = delete;

    // The first call connects and starts following logind.
    bool anyActive() override;

    static constexpr auto kAnswerTimeout = std::chrono::seconds(5);

private:
    struct SlotUnref {
        void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
    };
    using SlotPtr = std::unique_ptr<sd_bus_slot, SlotUnref>;

    void start();
    void stop();
    void drain();
    // Reads the list again; a reading under way is dropped.
    void refresh();
    bool callAsync(sd_bus_message* call, sd_bus_message_handler_t handler);
    void readList(sd_bus_message* reply);
    void readSession(sd_bus_message* reply);
    void finishReading();
    void fail(const std::string& why);
    void setActive(bool active);
    static int onSessionsChanged(sd_bus_message* message, void* userdata, sd_bus_error* error);
    static int onListReply(sd_bus_message* reply, void* userdata, sd_bus_error* error);
    static int onSessionReply(sd_bus_message* reply, void* userdata, sd_bus_error* error);

    Logger log_{"RemoteSessions"};
    Loop& loop_;
    uid_t uid_;
    bool started_ = false;
    dbus::BusPtr bus_;
    Handle busWatch_;
    SlotPtr newMatch_;
    SlotPtr removedMatch_;
    std::vector<SlotPtr> calls_;  // the reading under way; dropping them cancels it
    Handle answerDeadline_;
    int sessionsToRead_ = 0;
    bool remoteFound_ = false;
    bool active_ = false;
    bool failing_ = false;  // a failure is logged once until the next good answer
    LifeToken life_;
};

}  // namespace vigilo
