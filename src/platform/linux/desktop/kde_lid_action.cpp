#include "platform/linux/desktop/kde_lid_action.h"

#include <utility>

#include "platform/linux/power/logind_clamshell.h"
#include "platform/linux/power/logind_inhibitor.h"
#include "support/log.h"

namespace vigilo {

namespace {

const Logger& clamshellLog() {
    static const Logger log("Clamshell");
    return log;
}

constexpr dbus::MethodTarget kRefreshStatus{"org.kde.Solid.PowerManagement", "/org/kde/Solid/PowerManagement",
                                            "org.kde.Solid.PowerManagement", "refreshStatus"};

enum class LidHolder { kde, gnomeDocked, ours, other };

LidHolder lidHolderOf(const LogindInhibitor& lock) {
    if (lock.who == KdeLidAction::kPowerDevilWho) return LidHolder::kde;
    if (lock.who == LogindClamshell::kWho) return LidHolder::ours;
    if (lock.why == KdeLidAction::kGnomeDockedWhy) return LidHolder::gnomeDocked;
    return LidHolder::other;
}

}  // namespace

KdeLidAction::KdeLidAction(std::filesystem::path configDir, BusOpener openBus)
    : settings_(std::move(configDir)), openBus_(std::move(openBus)) {}

std::filesystem::path KdeLidAction::configDirOf(const XdgEnvironment& env) {
    return preferencesDir(env).parent_path();
}

bool KdeLidAction::kdeHandlesLid() {
    dbus::BusError error;
    dbus::BusPtr bus = openBus_(dbus::BusKind::system, error);
    auto locks = bus ? listLogindInhibitors(bus.get(), kCallTimeout, error) : std::nullopt;
    if (!locks) {
        clamshellLog().error("logind's lid locks could not be listed: {}", error.cause);
        return false;
    }
    bool kde = false;
    for (const auto& lock : *locks) {
        if (lock.mode != "block" || !lock.inhibits("handle-lid-switch")) continue;
        const LidHolder holder = lidHolderOf(lock);
        kde = kde || holder == LidHolder::kde;
        if (holder == LidHolder::other && loggedHolders_.insert(lock.who).second)
            clamshellLog().info("Lid switch also handled by {} ({}); left alone", lock.who, lock.why);
    }
    return kde;
}

std::optional<nlohmann::json> KdeLidAction::setDoNothing(const KdeLidSettings::SaveFirst& saveFirst) {
    if (!kdeHandlesLid()) return std::nullopt;
    auto record = settings_.setDoNothing(saveFirst);
    if (record && !kdeLidRecordIsEmpty(*record)) {
        clamshellLog().info("KDE lid action set to do nothing");
        reload();
    }
    return record;
}

bool KdeLidAction::restore(const nlohmann::json& record) {
    const auto restored = settings_.restore(record);
    if (restored.changed) {
        clamshellLog().info("KDE lid action restored");
        reload();
    }
    return restored.ok;
}

// Without the reload KDE keeps the lid action it read last; when it is not
// running it reads the files as they are when it starts.
void KdeLidAction::reload() {
    dbus::BusError error;
    dbus::BusPtr bus = openBus_(dbus::BusKind::session, error);
    if (bus) dbus::callMethod(bus.get(), kRefreshStatus, kCallTimeout, error, nullptr);
    if (error.failed()) clamshellLog().error("KDE power manager did not reload its settings: {}", error.cause);
}

}  // namespace vigilo
