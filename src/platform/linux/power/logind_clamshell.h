#pragma once

#include <chrono>
#include <filesystem>

#include "platform/clamshell_control.h"
#include "platform/linux/power/logind_inhibitor.h"
#include "support/loop.h"

namespace vigilo {

class KdeLidAction;
class PrivilegedRunner;
class RestoreRecord;

// Closed-lid mode through logind: a block lock on "handle-lid-switch" and one
// on "sleep", held while the mode is on. They are taken one by one because
// logind on systemd 252 checks a combined "what" against the wrong polkit
// action. Locks end with the process, so a crash cannot leave them behind.
//
// Outside a session (the user unit, linger, an SSH login) polkit refuses the
// locks; there the privileged helper writes our logind drop-in under
// <runRoot>/systemd/logind.conf.d/ instead, which lasts until removed or the
// next boot. Whether sleep is disabled is whether that drop-in exists. The
// helper's answer comes later, on the main thread: the switch says whether
// it happened through its completion.
//
// Where KDE applies its own lid action (it holds a lid lock of its own), that
// action is set to "do nothing" while the locks are held; its previous
// values wait in the restore record until they are back.
class LogindClamshell final : public ClamshellControl {
public:
    static constexpr std::chrono::milliseconds kCallTimeout{3000};
    static constexpr const char* kWho = "Vigilo";
    static constexpr const char* kWhy = "Vigilo keeping the computer running with the lid closed";

    // The restore record's entry for KDE's previous lid action.
    static constexpr const char* kKdeLidRecordKey = "kdeLidAction";

    // `helper` absent: no fallback, the locks are the only means. `kde` and
    // `record` absent: the desktop's own lid action is left alone.
    explicit LogindClamshell(std::filesystem::path runRoot = "/run", PrivilegedRunner* helper = nullptr,
                             KdeLidAction* kde = nullptr, RestoreRecord* record = nullptr);

    bool isSleepDisabled() override;
    void setDisableSleep(bool disable, Consent consent, Done done) override;

    // Our drop-in, the file whose presence makes isSleepDisabled() true.
    std::filesystem::path dropInPath() const;

    // Puts KDE's lid action back from the record, if a run left it changed
    // (at launch, after a crash); the entry goes once it is back.
    void restoreDesktopLidAction();

private:
    bool takeLocks();
    void releaseLocks();
    void writeDropIn(Consent consent, Done done);
    void removeDropIn(Consent consent, Done done);
    void quietDesktopLidAction();

    std::filesystem::path runRoot_;
    PrivilegedRunner* helper_;
    KdeLidAction* kde_;
    RestoreRecord* record_;
    InhibitorLock lidLock_;
    InhibitorLock sleepLock_;
    LifeToken life_;
};

}  // namespace vigilo
