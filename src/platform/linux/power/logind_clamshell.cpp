#include "platform/linux/power/logind_clamshell.h"

#include <system_error>
#include <utility>

#include "platform/linux/desktop/kde_lid_action.h"
#include "safety/restore_record.h"
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

LogindClamshell::LogindClamshell(std::filesystem::path runRoot, PrivilegedRunner* helper, KdeLidAction* kde,
                                 RestoreRecord* record)
    : runRoot_(std::move(runRoot)), helper_(helper), kde_(kde), record_(record) {}

std::filesystem::path LogindClamshell::dropInPath() const {
    return runRoot_ / "systemd" / "logind.conf.d" / "vigilo-lid.conf";
}

bool LogindClamshell::isSleepDisabled() {
    std::error_code error;
    return std::filesystem::exists(dropInPath(), error);
}

void LogindClamshell::setDisableSleep(bool disable, Consent consent, Done done) {
    if (!disable) {
        releaseLocks();
        restoreDesktopLidAction();
        return removeDropIn(consent, std::move(done));
    }
    if ((lidLock_.held() && sleepLock_.held()) || isSleepDisabled()) return done(true);
    if (takeLocks()) {
        quietDesktopLidAction();
        return done(true);
    }
    // Outside a session there is no desktop lid action to quiet.
    writeDropIn(consent, std::move(done));
}

// A failure is logged by KdeLidAction; the locks still keep logind from
// acting on the lid, and the sleep lock holds off KDE's own suspend.
void LogindClamshell::quietDesktopLidAction() {
    if (kde_ == nullptr || record_ == nullptr || !kde_->kdeHandlesLid()) return;
    // A record still waiting to be given back holds the user's own values;
    // quieting again would record our "do nothing" over them.
    restoreDesktopLidAction();
    if (record_->get(kKdeLidRecordKey)) {
        clamshellLog().error("KDE lid settings from an earlier run are not yet given back; left alone");
        return;
    }
    kde_->setDoNothing([this](const nlohmann::json& previous) { return record_->put(kKdeLidRecordKey, previous); });
}

void LogindClamshell::restoreDesktopLidAction() {
    if (kde_ == nullptr || record_ == nullptr) return;
    const auto previous = record_->get(kKdeLidRecordKey);
    if (previous && kde_->restore(*previous)) record_->erase(kKdeLidRecordKey);
}

void LogindClamshell::writeDropIn(Consent consent, Done done) {
    if (helper_ == nullptr) return done(false);
    helper_->run({"lid-drop-in", "on"}, consent,
                 [this, weak = life_.weak(), consent, done = std::move(done)](const PrivilegedRunner::Result& result) {
                     if (!weak.lock()) return;
                     if (result.ok()) {
                         clamshellLog().info("logind lid drop-in written");
                         return done(true);
                     }
                     clamshellLog().error("logind lid drop-in on failed: {}", result.message);
                     // Written but logind not told: the file must not stay behind unasked.
                     if (!isSleepDisabled()) return done(false);
                     removeDropIn(consent, [done](bool) { done(false); });
                 });
}

void LogindClamshell::removeDropIn(Consent consent, Done done) {
    if (!isSleepDisabled()) return done(true);
    if (helper_ == nullptr) {
        clamshellLog().error("logind lid drop-in off failed: no helper to remove {}", dropInPath().string());
        return done(false);
    }
    helper_->run({"lid-drop-in", "off"}, consent,
                 [weak = life_.weak(), done = std::move(done)](const PrivilegedRunner::Result& result) {
                     if (!weak.lock()) return;
                     using Status = PrivilegedRunner::Result::Status;
                     if (result.ok()) {
                         clamshellLog().info("logind lid drop-in removed");
                     } else if (result.status == Status::notAllowed || result.status == Status::busy) {
                         clamshellLog().error("logind lid drop-in off skipped ({}); the next launch removes it",
                                              result.message);
                     } else {
                         clamshellLog().error("logind lid drop-in off failed: {}", result.message);
                     }
                     done(result.ok());
                 });
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
