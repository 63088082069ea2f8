#pragma once

namespace vigilo {

// Points Qt's icon lookup at the build tree's icons too, so the tray shows
// them before `cmake --install`, and at the hicolor theme where the desktop
// names none. Once, before the first icon is made.
void addBuildTreeIcons();

}  // namespace vigilo
