#include "platform/linux/power/desktop_inhibitors.h"

#include <algorithm>

namespace vigilo {

namespace {

constexpr const char* kGnomeName = "org.gnome.SessionManager";
constexpr const char* kKdeName = "org.freedesktop.PowerManagement";
constexpr const char* kScreenSaverName = "org.freedesktop.ScreenSaver";

constexpr dbus::MethodTarget gnomeCall(const char* member) {
    return {kGnomeName, "/org/gnome/SessionManager", kGnomeName, member};
}

constexpr dbus::MethodTarget freedesktopCall(FreedesktopInhibitor service, const char* member) {
    if (service == FreedesktopInhibitor::powerManagement)
        return {kKdeName, "/org/freedesktop/PowerManagement/Inhibit", "org.freedesktop.PowerManagement.Inhibit",
                member};
    return {kScreenSaverName, "/org/freedesktop/ScreenSaver", kScreenSaverName, member};
}

std::optional<std::uint32_t> readCookie(sd_bus_message* reply, dbus::BusError& error) {
    std::uint32_t cookie = 0;
    int r = sd_bus_message_read(reply, "u", &cookie);
    if (r <= 0) {
        error.set(r < 0 ? -r : EBADMSG, "Inhibit: unexpected reply");
        return std::nullopt;
    }
    return cookie;
}

}  // namespace

SessionServices SessionServices::fromNames(const std::vector<std::string>& names) {
    auto has = [&](const char* name) { return std::find(names.begin(), names.end(), name) != names.end(); };
    return {has(kGnomeName), has(kKdeName), has(kScreenSaverName)};
}

std::optional<std::uint32_t> gnomeInhibit(sd_bus* sessionBus, const std::string& appId, const std::string& reason,
                                          std::uint32_t flags, std::chrono::microseconds timeout,
                                          dbus::BusError& error) {
    // Toplevel window id 0: the request comes from no particular window.
    dbus::MessagePtr reply = dbus::callMethod(sessionBus, gnomeCall("Inhibit"), timeout, error, "susu",
                                              appId.c_str(), std::uint32_t{0}, reason.c_str(), flags);
    if (!reply) return std::nullopt;
    return readCookie(reply.get(), error);
}

bool gnomeUninhibit(sd_bus* sessionBus, std::uint32_t cookie, std::chrono::microseconds timeout,
                    dbus::BusError& error) {
    return dbus::callMethod(sessionBus, gnomeCall("Uninhibit"), timeout, error, "u", cookie) != nullptr;
}

std::optional<std::uint32_t> freedesktopInhibit(sd_bus* sessionBus, FreedesktopInhibitor service,
                                                const std::string& appName, const std::string& reason,
                                                std::chrono::microseconds timeout, dbus::BusError& error) {
    dbus::MessagePtr reply = dbus::callMethod(sessionBus, freedesktopCall(service, "Inhibit"), timeout, error, "ss",
                                              appName.c_str(), reason.c_str());
    if (!reply) return std::nullopt;
    return readCookie(reply.get(), error);
}

bool freedesktopUnInhibit(sd_bus* sessionBus, FreedesktopInhibitor service, std::uint32_t cookie,
                          std::chrono::microseconds timeout, dbus::BusError& error) {
    return dbus::callMethod(sessionBus, freedesktopCall(service, "UnInhibit"), timeout, error, "u", cookie) !=
           nullptr;
}

}  // namespace vigilo
