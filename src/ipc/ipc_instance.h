#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/why/inhibitor_entry.h"
#include "ipc/hand_over_state.h"

namespace vigilo {

// What the socket may ask of the running process itself rather than of the
// controller: which way it was started, its status window, and to make way
// for a launch of the other kind. Main thread only.
struct IPCInstance {
    static constexpr const char* kTrayRole = "tray";
    static constexpr const char* kHeadlessRole = "headless";

    std::string role = kHeadlessRole;
    // Opens or raises the status window; empty where there are no windows.
    std::function<void()> showStatus;
    // Ends the process as a termination signal would, once the reply is out;
    // returns what the launch taking over resumes.
    std::function<HandOverState()> handOver;
    // What keeps the computer awake, from the live list (read first when it
    // is not live); empty where the process keeps no such list.
    std::function<std::vector<InhibitorEntry>()> inhibitors;
    // Its own rows alone, which need no read of the services.
    std::function<std::vector<InhibitorEntry>()> ownInhibitors;
};

}  // namespace vigilo
