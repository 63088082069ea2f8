#pragma once

#include <chrono>
#include <filesystem>

#include "platform/clamshell_control.h"
#include "platform/linux/power/logind_inhibitor.h"

namespace vigilo {

// Closed-lid mode through logind: a block lock on "handle-lid-switch" and one
// on "sleep", held while the mode is on. They are taken one by one because
// logind on systemd 252 checks a combined "what" against the wrong polkit
// action. Locks end with the process, so a crash cannot leave them behind.
//
// Whether sleep is disabled is read from our own logind drop-in under
// <runRoot>/systemd/logind.conf.d/, which the privileged helper writes where
// polkit refuses the locks (outside a session).
class LogindClamshell final : public ClamshellControl {
public:
    static constexpr std::chrono::milliseconds kCallTimeout{3000};
    static constexpr const char* kWho = "Vigilo";
    static constexpr const char* kWhy = "Vigilo keeping the computer running with the lid closed";

    explicit LogindClamshell(std::filesystem::path runRoot = "/run");

    bool isSleepDisabled() override;
    bool setDisableSleep(bool disable) override;

    // Our drop-in, the file whose presence makes isSleepDisabled() true.
    std::filesystem::path dropInPath() const;

private:
    bool takeLocks();
    void releaseLocks();

    std::filesystem::path runRoot_;
    InhibitorLock lidLock_;
    InhibitorLock sleepLock_;
};

}  // namespace vigilo
