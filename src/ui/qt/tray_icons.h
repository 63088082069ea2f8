#pragma once

#include <QIcon>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vigilo {

// Chooses where Qt looks up icons by name, once, before the first icon is
// made: the desktop's icon theme where Qt's platform theme names none (Xfce
// and other desktops without one read it from XSETTINGS' Net/IconThemeName
// or GTK's settings.ini), then Adwaita, then hicolor, then Vigilo's own
// symbolic icons for any name none of them has. Also sets the application's
// window icon, with the built-in one where the theme has none.
void chooseIconThemes();

// The icon theme a desktop without a Qt platform theme uses: XSETTINGS'
// value first, then the first settings.ini in `gtkSettingsFiles` that names
// one; empty when none does.
std::string desktopIconTheme(const std::string& xsettingsValue, const std::vector<std::string>& gtkSettingsFiles);

// The string settings of an _XSETTINGS_SETTINGS property, by name. Bad or
// cut-off data gives what was read before it.
std::map<std::string, std::string> xsettingsStrings(std::string_view data);

// Vigilo's application icon: the theme's, or the built-in one.
QIcon applicationIcon();

}  // namespace vigilo
