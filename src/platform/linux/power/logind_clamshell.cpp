#include "platform/linux/power/logind_clamshell.h"

#include <system_error>
#include <utility>

#include "support/log.h"

namespace vigilo {

namespace {

const Logger& clamshellLog() {
    static const Logger log("Clamshell");
    return log;
}

// Takes one block lock; logs the refusal with what was asked for.
InhibitorLock takeLock(sd_bus* bus, const char* what) {
    dbus::BusError error;
    InhibitorLock lock = takeLogindLock(bus, what, LogindClamshell::kWho, LogindClamshell::kWhy,
                                        LogindClamshell::kCallTimeout, error);
    if (!lock.held()) clamshellLog().error("logind {} lock failed: {}", what, error.cause);
    return lock;
}

}  // namespace

LogindClamshell::LogindClamshell(std::filesystem::path runRoot) : runRoot_(std::move(runRoot)) {}

std::filesystem::path LogindClamshell::dropInPath() const {
    return runRoot_ / "systemd" / "logind.conf.d" / "vigilo-lid.conf";
}

bool LogindClamshell::isSleepDisabled() {
    std::error_code error;
    return std::filesystem::exists(dropInPath(), error);
}

bool LogindClamshell::setDisableSleep(bool disable) {
    if (!disable) {
        releaseLocks();
        return true;
    }
    if (lidLock_.held() && sleepLock_.held()) return true;
    // Seam: where the desktop applies its own lid action (KDE), it is set to
    // "do nothing" here as well; where polkit refuses the locks (no session),
    // the privileged helper's drop-in is the fallback.
    return takeLocks();
}

bool LogindClamshell::takeLocks() {
    dbus::BusError error;
    dbus::BusPtr bus = dbus::openBus(dbus::BusKind::system, error);
    if (!bus) {
        clamshellLog().error("logind lid lock failed: {}", error.cause);
        return false;
    }
    // The locks live in their descriptors, not in the connection, which can go.
    lidLock_ = takeLock(bus.get(), "handle-lid-switch");
    if (lidLock_.held()) sleepLock_ = takeLock(bus.get(), "sleep");
    if (!lidLock_.held() || !sleepLock_.held()) {
        // Half the mode is none of it: the lid lock alone would still let the computer sleep.
        lidLock_.reset();
        sleepLock_.reset();
        return false;
    }
    clamshellLog().info("logind lid locks taken");
    return true;
}

void LogindClamshell::releaseLocks() {
    const bool held = lidLock_.held() || sleepLock_.held();
    lidLock_.reset();
    sleepLock_.reset();
    if (held) clamshellLog().info("logind lid locks released");
}

}  // namespace vigilo
