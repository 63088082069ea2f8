#pragma once

#include <chrono>
#include <functional>

#include "support/handle.h"
#include "support/loop.h"

namespace vigilo {

// When the tray icon is made, and when the person is told that the desktop
// shows none. A login starts autostart programs before the panel, and a
// panel may restart: the icon is (re)made whenever a host appears or
// changes, and the notice comes only after a host has been missing for a
// while. Main thread only.
class TrayPresence {
public:
    static constexpr std::chrono::seconds kNoticeAfter{5};

    struct Hooks {
        std::function<void()> makeIcon;  // a host appeared or changed: a fresh icon
        std::function<void()> dropIcon;  // the host went away
        std::function<void()> noHost;    // no host for kNoticeAfter
    };

    TrayPresence(Loop& loop, Hooks hooks);

    // The host as first seen at start; then every change.
    void start(bool hostPresent);
    void hostChanged(bool hostPresent);
    // Also a new owner of the host's name: the icon is made again for it.
    void hostReplaced();

    bool iconShown() const { return iconShown_; }

private:
    void waitForHost();

    Loop& loop_;
    Hooks hooks_;
    bool iconShown_ = false;
    Handle noticeTimer_;
};

}  // namespace vigilo
