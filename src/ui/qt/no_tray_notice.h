#pragma once

#include <string>

namespace vigilo {

// Whether this is the first time in this login that the desktop's missing
// tray is told: a marker file in $XDG_RUNTIME_DIR, which lives exactly as
// long as the login. Without that folder, every time.
bool firstNoTrayNoticeThisLogin(const char* runtimeDir);

// Whether $XDG_CURRENT_DESKTOP names GNOME.
bool onGnome(const char* currentDesktop);

// Asks the desktop portal, where it offers the Background interface, to
// list Vigilo among the programs running in the background. Starting at
// login stays Vigilo's own setting. Answers are only logged.
void requestBackgroundFromPortal();

}  // namespace vigilo
