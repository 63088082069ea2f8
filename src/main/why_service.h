#pragma once

#include "app/why/inhibitor_watch.h"
#include "platform/linux/inhibitors/linux_inhibitor_sources.h"
#include "support/loop.h"

namespace vigilo {

class AppState;

// The application's live list of what keeps the computer awake: the
// system's locks and its own rows, which follow its state.
class WhyService {
public:
    WhyService(Loop& loop, AppState& state);
    WhyService(const WhyService&) = delete;
    WhyService& operator=(const WhyService&) = delete;

    InhibitorWatch& watch() { return watch_; }

private:
    LinuxInhibitorSources sources_;
    InhibitorWatch watch_;
    std::vector<Handle> follows_;
};

}  // namespace vigilo
