#pragma once

#include <QIcon>

#include "app/keep_awake_mode.h"
#include "safety/thermal_monitor.h"

namespace vigilo {

// Points Qt's icon lookup at the build tree's icons too, so the tray shows
// them before `cmake --install`, and at the hicolor theme where the desktop
// names none. Once, before the first icon is made.
void addBuildTreeIcons();

// The tray's icon, by theme name, so the panel recolours the symbolic SVG:
// the thermometer when critically hot, the lid with closed-lid mode on,
// otherwise the mode's own.
QIcon stateIcon(const KeepAwakeMode& mode, bool clamshellActive, ThermalMonitor::Level thermal);

}  // namespace vigilo
