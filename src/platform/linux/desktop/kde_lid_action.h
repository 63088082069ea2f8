#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/linux/dbus/bus.h"
#include "platform/linux/desktop/kde_lid_settings.h"
#include "support/xdg_paths.h"

namespace vigilo {

// KDE's power manager takes logind's "handle-lid-switch" block lock for
// itself and applies its own lid action, which no lock of ours can stop.
// While closed-lid mode is on, its lid action is set to "do nothing" through
// its own settings and its reload call, and put back afterwards.
//
// The previous values are a record (see KdeLidSettings) that the caller
// keeps on disk while the mode is on, so that the next launch can put them
// back after a crash: setDoNothing() hands it over before changing anything,
// and restore() takes it back, as often as needed.
//
// All calls block (a few D-Bus round trips of at most kCallTimeout each,
// small file writes) and belong to the main thread.
class KdeLidAction {
public:
    static constexpr std::chrono::milliseconds kCallTimeout{3000};
    // Who KDE's power manager says it is in its logind lock (Plasma 5 and 6).
    static constexpr const char* kPowerDevilWho = "PowerDevil";
    // Why GNOME's power plugin holds the lid lock: only while docked, when a
    // closed lid does not suspend anyway, so it is none of our business.
    static constexpr const char* kGnomeDockedWhy = "External monitor attached or configuration changed recently";

    using BusOpener = std::function<dbus::BusPtr(dbus::BusKind, dbus::BusError&)>;

    // `configDir` is the user's configuration folder (XDG_CONFIG_HOME).
    explicit KdeLidAction(std::filesystem::path configDir, BusOpener openBus = &dbus::openBus);
    static std::filesystem::path configDirOf(const XdgEnvironment& env);

    // Whether KDE's power manager holds logind's lid lock right now. Other
    // holders are logged once each (by who) and left alone.
    bool kdeHandlesLid();

    // Where KDE handles the lid: sets its lid action to "do nothing" and
    // makes it reload. Returns the record of the previous values (already
    // handed to `saveFirst`), or nullopt when nothing was changed: KDE does
    // not handle the lid, or its settings could not be changed (logged; when
    // a file that needs the change may not be written, the log says that
    // closed-lid mode is not available on KDE).
    std::optional<nlohmann::json> setDoNothing(const KdeLidSettings::SaveFirst& saveFirst);

    // Puts back what `record` says and makes KDE reload. True when nothing
    // is left to put back (the record can go); false, logged, when a file
    // could not be written or the record is malformed.
    bool restore(const nlohmann::json& record);

private:
    void reload();

    KdeLidSettings settings_;
    BusOpener openBus_;
    std::set<std::string> loggedHolders_;
};

}  // namespace vigilo
