#include "platform/linux/inhibitors/desktop_inhibitor_lists.h"

#include <cstring>
#include <string>

namespace vigilo {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kGnomeName = "org.gnome.SessionManager";
constexpr const char* kGnomeInhibitor = "org.gnome.SessionManager.Inhibitor";
constexpr const char* kKdeName = "org.kde.Solid.PowerManagement.PolicyAgent";
constexpr const char* kKdePath = "/org/kde/Solid/PowerManagement/PolicyAgent";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";

std::chrono::microseconds left(Clock::time_point deadline) {
    return std::max(std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()),
                    std::chrono::microseconds{1});
}

std::optional<std::string> readString(sd_bus* bus, const char* path, const char* member, Clock::time_point deadline) {
    dbus::BusError error;
    auto reply = dbus::callMethod(bus, {kGnomeName, path, kGnomeInhibitor, member}, left(deadline), error, nullptr);
    const char* text = nullptr;
    if (!reply || sd_bus_message_read(reply.get(), "s", &text) <= 0) return std::nullopt;
    return std::string(text);
}

std::optional<GnomeLock> readGnomeInhibitor(sd_bus* bus, const char* path, Clock::time_point deadline) {
    auto appId = readString(bus, path, "GetAppId", deadline);
    auto reason = appId ? readString(bus, path, "GetReason", deadline) : std::nullopt;
    if (!reason) return std::nullopt;
    dbus::BusError error;
    auto reply = dbus::callMethod(bus, {kGnomeName, path, kGnomeInhibitor, "GetFlags"}, left(deadline), error, nullptr);
    std::uint32_t flags = 0;
    if (!reply || sd_bus_message_read(reply.get(), "u", &flags) <= 0) return std::nullopt;
    return GnomeLock{.appId = *appId, .reason = *reason, .flags = flags};
}

// Reads `count` strings of a struct or array already entered.
bool readStrings(sd_bus_message* message, std::string* out[], int count) {
    for (int i = 0; i < count; ++i) {
        const char* text = nullptr;
        if (sd_bus_message_read(message, "s", &text) <= 0) return false;
        *out[i] = text;
    }
    return true;
}

// a(ssssu): what, who, why, mode, flags.
std::optional<std::vector<KdeLock>> readFullForm(sd_bus_message* message) {
    std::vector<KdeLock> locks;
    if (sd_bus_message_enter_container(message, 'a', "(ssssu)") <= 0) return std::nullopt;
    while (sd_bus_message_enter_container(message, 'r', "ssssu") > 0) {
        KdeLock lock;
        std::string* fields[] = {&lock.what, &lock.who, &lock.why, &lock.mode};
        if (!readStrings(message, fields, 4) || sd_bus_message_read(message, "u", &lock.flags) <= 0) {
            return std::nullopt;
        }
        if (sd_bus_message_exit_container(message) < 0) return std::nullopt;
        locks.push_back(std::move(lock));
    }
    return locks;
}

// a(ss) or aas: who and why.
std::optional<std::vector<KdeLock>> readPairs(sd_bus_message* message, bool arrays) {
    std::vector<KdeLock> locks;
    if (sd_bus_message_enter_container(message, 'a', arrays ? "as" : "(ss)") <= 0) return std::nullopt;
    while (sd_bus_message_enter_container(message, arrays ? 'a' : 'r', arrays ? "s" : "ss") > 0) {
        KdeLock lock;
        const char* text = nullptr;
        if (sd_bus_message_read(message, "s", &text) > 0) lock.who = text;
        if (sd_bus_message_read(message, "s", &text) > 0) lock.why = text;
        while (arrays && sd_bus_message_read(message, "s", &text) > 0) {
        }
        if (sd_bus_message_exit_container(message) < 0) return std::nullopt;
        locks.push_back(std::move(lock));
    }
    return locks;
}

}  // namespace

std::optional<std::vector<GnomeLock>> readGnomeInhibitors(sd_bus* bus, std::chrono::microseconds budget,
                                                          dbus::BusError& error) {
    const auto deadline = Clock::now() + budget;
    auto reply = dbus::callMethod(bus, {kGnomeName, "/org/gnome/SessionManager", kGnomeName, "GetInhibitors"},
                                  budget, error, nullptr);
    if (!reply) return std::nullopt;
    std::vector<std::string> paths;
    if (sd_bus_message_enter_container(reply.get(), 'a', "o") <= 0) {
        error.set(EBADMSG, "GetInhibitors: unexpected reply");
        return std::nullopt;
    }
    const char* path = nullptr;
    while (sd_bus_message_read(reply.get(), "o", &path) > 0) paths.emplace_back(path);
    std::vector<GnomeLock> locks;
    for (const auto& each : paths) {
        if (Clock::now() >= deadline) break;
        if (auto lock = readGnomeInhibitor(bus, each.c_str(), deadline)) locks.push_back(std::move(*lock));
    }
    return locks;
}

std::optional<std::vector<KdeLock>> readKdeInhibitions(sd_bus* bus, std::chrono::microseconds budget,
                                                       dbus::BusError& error) {
    const auto deadline = Clock::now() + budget;
    auto active = dbus::callMethod(bus, {kKdeName, kKdePath, kProperties, "Get"}, budget, error, "ss", kKdeName,
                                   "ActiveInhibitions");
    if (active) {
        if (sd_bus_message_enter_container(active.get(), 'v', "a(ssssu)") > 0) {
            if (auto locks = readFullForm(active.get())) return locks;
        }
        error.set(EBADMSG, "ActiveInhibitions: unexpected value");
        return std::nullopt;
    }
    // Not there at all, or out of time: ListInhibitions would fare no better.
    if (error.name == "org.freedesktop.DBus.Error.ServiceUnknown" ||
        error.name == "org.freedesktop.DBus.Error.NameHasNoOwner" || Clock::now() >= deadline) {
        return std::nullopt;
    }
    error = {};
    auto listed =
        dbus::callMethod(bus, {kKdeName, kKdePath, kKdeName, "ListInhibitions"}, left(deadline), error, nullptr);
    if (!listed) return std::nullopt;
    const char* signature = sd_bus_message_get_signature(listed.get(), 1);
    std::optional<std::vector<KdeLock>> locks;
    if (signature && std::strcmp(signature, "a(ss)") == 0) locks = readPairs(listed.get(), false);
    if (signature && std::strcmp(signature, "aas") == 0) locks = readPairs(listed.get(), true);
    if (signature && std::strcmp(signature, "a(ssssu)") == 0) locks = readFullForm(listed.get());
    if (!locks) error.set(EBADMSG, std::string("ListInhibitions: unexpected reply ") + (signature ? signature : ""));
    return locks;
}

}  // namespace vigilo
