#pragma once

#include <string>

#include "app/keep_awake_mode.h"
#include "safety/thermal_monitor.h"

namespace vigilo {

// The symbolic icons the tray and the status window show. Each is drawn for
// this project and installed into the icon theme under iconThemeName(), so
// the panel can recolour it like its own symbols.
enum class StateIcon { thermometer, lid, timer, moon, sun, bolt, binoculars, terminal };

// "vigilo-moon-symbolic" and so on.
std::string iconThemeName(StateIcon icon);

// The mode's own icon, as the status window shows it: the lid while
// closed-lid mode is on, otherwise one icon per mode.
StateIcon modeIcon(const KeepAwakeMode& mode, bool clamshellActive);

// The tray's icon: the thermometer when critically hot, whatever the mode,
// otherwise the mode's own icon.
StateIcon trayIcon(const KeepAwakeMode& mode, bool clamshellActive, ThermalMonitor::Level thermal);

// "Vigilo — Awake On" and so on; the icon's accessible name is the short
// label alone.
std::string trayTooltip(const KeepAwakeMode& mode);

// Whether the tray refreshes every second: only the modes whose icon or
// tooltip may follow the passing time.
bool trayNeedsSecondTick(const KeepAwakeMode& mode);

}  // namespace vigilo
