#pragma once

#include <sys/types.h>

#include <optional>

#include "app/shortcut_actions.h"
#include "platform/linux/dbus/bus.h"
#include "support/log.h"
#include "support/loop.h"

namespace vigilo {

// The shortcut actions on the session bus: owns the name com.vigilo.app and
// serves /com/vigilo/app, interface com.vigilo.app.Shortcuts. The connection
// is driven by the main loop, so every action runs on the main thread
// between the menu's, the socket's and the timers' work.
//
// The name is asked for without queueing and without allowing replacement:
// while another instance owns it, this one runs on without the actions, and
// nobody can take it from the instance that has it.
class ShortcutsService {
public:
    static constexpr const char* kBusName = "com.vigilo.app";
    static constexpr const char* kObjectPath = "/com/vigilo/app";
    static constexpr const char* kInterface = "com.vigilo.app.Shortcuts";

    ShortcutsService(Loop& loop, ShortcutActions& actions, uid_t ownerUid)
        : loop_(loop), actions_(actions), ownerUid_(ownerUid) {}
    ~ShortcutsService() { stop(); }
    ShortcutsService(const ShortcutsService&) = delete;
    ShortcutsService& operator=(const ShortcutsService&) = delete;

    // False when there is no session bus or the object could not be added;
    // the name itself is claimed in the background.
    bool start();
    void stop();

    ShortcutActions& actions() { return actions_; }
    bool callerAllowed(sd_bus_message* call) const;

private:
    void drain();
    static int onNameReply(sd_bus_message* reply, void* userdata, sd_bus_error* error);

    Loop& loop_;
    ShortcutActions& actions_;
    uid_t ownerUid_;
    dbus::BusPtr bus_;
    sd_bus_slot* objectSlot_ = nullptr;
    Handle busWatch_;
    LifeToken life_;
};

// Only the user the application runs for may drive it; a caller whose uid
// the bus cannot tell is refused too.
bool shortcutCallerAllowed(std::optional<uid_t> callerUid, uid_t ownerUid);

}  // namespace vigilo
