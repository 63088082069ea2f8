#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/login_item.h"

namespace vigilo {

struct XdgEnvironment;

inline constexpr const char* kApplicationId = "com.vigilo.app";

// The login item as the desktops know it: a desktop entry in the user's
// autostart folder, which the session starts at login. The entry runs the
// application executable with no arguments, that is, as the tray.
class XdgAutostartEntry final : public LoginItem {
public:
    XdgAutostartEntry(std::filesystem::path file, std::string executable);

    // $XDG_CONFIG_HOME/autostart/com.vigilo.app.desktop.
    static std::filesystem::path fileFor(const XdgEnvironment& env);

    // There, and not switched off by the desktop's own settings (which hide
    // an entry rather than delete it). Anything but a regular file of at
    // most 64 KiB in its place reads as off, logged, without blocking.
    bool isEnabled() override;
    std::optional<std::string> enable() override;
    std::optional<std::string> disable() override;

    // The entry's text.
    std::optional<std::string> contents() const;

private:
    std::filesystem::path file_;
    std::string executable_;
};

// `path` as one argument of a desktop entry's Exec key: quoted, with the
// characters the key reserves escaped. Nothing for a path with a line break,
// which the format cannot carry.
std::optional<std::string> desktopExecArgument(const std::string& path);

}  // namespace vigilo
