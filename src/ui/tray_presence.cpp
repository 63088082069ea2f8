#include "ui/tray_presence.h"

namespace vigilo {

TrayPresence::TrayPresence(Loop& loop, Hooks hooks) : loop_(loop), hooks_(std::move(hooks)) {}

void TrayPresence::start(bool hostPresent) {
    if (hostPresent) {
        hostReplaced();
    } else {
        waitForHost();
    }
}

void TrayPresence::hostChanged(bool hostPresent) {
    if (hostPresent == iconShown_) return;
    if (hostPresent) return hostReplaced();
    iconShown_ = false;
    hooks_.dropIcon();
    waitForHost();
}

void TrayPresence::hostReplaced() {
    noticeTimer_.cancel();
    iconShown_ = true;
    hooks_.makeIcon();
}

// A panel restarting comes back well within the wait; only a host that
// stays away is worth a window.
void TrayPresence::waitForHost() {
    noticeTimer_ = loop_.startTimer(kNoticeAfter, [this] {
        if (!iconShown_) hooks_.noHost();
    });
}

}  // namespace vigilo
