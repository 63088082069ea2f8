#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/dbus/bus.h"

// The session-bus services that keep a desktop awake. These inhibitors live
// as long as the connection that asked for them, or until released.
namespace vigilo {

// Which of them the running session offers, read from one ListNames.
struct SessionServices {
    bool gnome = false;        // org.gnome.SessionManager
    bool kde = false;          // org.freedesktop.PowerManagement (KDE, also Xfce)
    bool screenSaver = false;  // org.freedesktop.ScreenSaver

    static SessionServices fromNames(const std::vector<std::string>& names);
};

// org.gnome.SessionManager.Inhibit flags.
inline constexpr std::uint32_t kGnomeInhibitSuspend = 4;
inline constexpr std::uint32_t kGnomeInhibitIdle = 8;

// Inhibit(app_id, 0, reason, flags); the cookie, or nullopt with `error` set.
std::optional<std::uint32_t> gnomeInhibit(sd_bus* sessionBus, const std::string& appId, const std::string& reason,
                                          std::uint32_t flags, std::chrono::microseconds timeout,
                                          dbus::BusError& error);
bool gnomeUninhibit(sd_bus* sessionBus, std::uint32_t cookie, std::chrono::microseconds timeout,
                    dbus::BusError& error);

// The two freedesktop services that share the Inhibit(app, reason) -> cookie,
// UnInhibit(cookie) shape.
enum class FreedesktopInhibitor {
    powerManagement,  // org.freedesktop.PowerManagement.Inhibit: no idle suspend
    screenSaver,      // org.freedesktop.ScreenSaver: the screen stays on
};

std::optional<std::uint32_t> freedesktopInhibit(sd_bus* sessionBus, FreedesktopInhibitor service,
                                                const std::string& appName, const std::string& reason,
                                                std::chrono::microseconds timeout, dbus::BusError& error);
bool freedesktopUnInhibit(sd_bus* sessionBus, FreedesktopInhibitor service, std::uint32_t cookie,
                          std::chrono::microseconds timeout, dbus::BusError& error);

}  // namespace vigilo
