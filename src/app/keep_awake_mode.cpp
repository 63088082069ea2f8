#include "app/keep_awake_mode.h"

#include "support/tr.h"

namespace vigilo {

std::optional<WallTime> KeepAwakeMode::expiresAt() const {
    if (kind_ != Kind::timer) return std::nullopt;
    return expiresAt_;
}

std::string KeepAwakeMode::shortLabel() const {
    switch (kind_) {
        case Kind::timer: return tr("Timer Active");
        case Kind::off: return tr("Awake Off");
        case Kind::on: return tr("Awake On");
        case Kind::chargingOnly: return tr("Charging Only");
        case Kind::autoWatch: return tr("Auto Mode");
        case Kind::runCommand: return tr("Running Task");
    }
    return tr("Awake Off");
}

}  // namespace vigilo
