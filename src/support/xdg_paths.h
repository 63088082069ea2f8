#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace vigilo {

// What the XDG folders are computed from: the environment, the user and
// their home folder. fromProcess() reads the real ones; tests make their own.
struct XdgEnvironment {
    std::function<std::optional<std::string>(const char* name)> getenv;
    uid_t uid = 0;
    std::filesystem::path home;

    static XdgEnvironment fromProcess();
};

// $XDG_DATA_HOME/Vigilo (default ~/.local/share/Vigilo): the rules, the
// activity log and the other files the application keeps.
std::filesystem::path appSupportDir(const XdgEnvironment& env);

// $XDG_CONFIG_HOME/Vigilo (default ~/.config/Vigilo): the preferences.
std::filesystem::path preferencesDir(const XdgEnvironment& env);

// $XDG_CONFIG_HOME/autostart (default ~/.config/autostart): the desktop
// entries the session starts at login.
std::filesystem::path autostartDir(const XdgEnvironment& env);

struct RuntimeDir {
    std::filesystem::path path;  // empty when refused
    std::string error;           // why it was refused
};

// The private per-user runtime folder, where the socket lives:
// $XDG_RUNTIME_DIR when set; else /run/user/<uid> when it is a real folder
// owned by the user with mode 0700; else /tmp/vigilo-<uid>, created if
// missing. Any folder that is not a real directory owned by the user and
// closed to everyone else is refused, never used. The roots are parameters
// for tests.
RuntimeDir resolveRuntimeDir(const XdgEnvironment& env, const std::filesystem::path& runUserRoot = "/run/user",
                             const std::filesystem::path& tmpRoot = "/tmp");

}  // namespace vigilo
