#include "ui/tray_icon.h"

#include "support/tr.h"

namespace vigilo {

std::string iconThemeName(StateIcon icon) {
    const char* name = "moon";
    switch (icon) {
        case StateIcon::thermometer: name = "thermometer"; break;
        case StateIcon::lid: name = "lid"; break;
        case StateIcon::timer: name = "timer"; break;
        case StateIcon::moon: name = "moon"; break;
        case StateIcon::sun: name = "sun"; break;
        case StateIcon::bolt: name = "bolt"; break;
        case StateIcon::binoculars: name = "binoculars"; break;
        case StateIcon::terminal: name = "terminal"; break;
    }
    return std::string("vigilo-") + name + "-symbolic";
}

StateIcon modeIcon(const KeepAwakeMode& mode, bool clamshellActive) {
    if (clamshellActive) return StateIcon::lid;
    switch (mode.kind()) {
        case KeepAwakeMode::Kind::timer: return StateIcon::timer;
        case KeepAwakeMode::Kind::off: return StateIcon::moon;
        case KeepAwakeMode::Kind::on: return StateIcon::sun;
        case KeepAwakeMode::Kind::chargingOnly: return StateIcon::bolt;
        case KeepAwakeMode::Kind::autoWatch: return StateIcon::binoculars;
        case KeepAwakeMode::Kind::runCommand: return StateIcon::terminal;
    }
    return StateIcon::moon;
}

StateIcon trayIcon(const KeepAwakeMode& mode, bool clamshellActive, ThermalMonitor::Level thermal) {
    if (thermal == ThermalMonitor::Level::critical) return StateIcon::thermometer;
    return modeIcon(mode, clamshellActive);
}

std::string trayTooltip(const KeepAwakeMode& mode) { return trFormat("Vigilo \u2014 {}", mode.shortLabel()); }

bool trayNeedsSecondTick(const KeepAwakeMode& mode) {
    return mode.is(KeepAwakeMode::Kind::timer) || mode.is(KeepAwakeMode::Kind::autoWatch) ||
           mode.is(KeepAwakeMode::Kind::runCommand);
}

}  // namespace vigilo
