#include "platform/linux/power/logind_inhibitor.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <sstream>

namespace vigilo {

namespace {

constexpr dbus::MethodTarget logindCall(const char* member) {
    return {"org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager", member};
}

}  // namespace

InhibitorLock& InhibitorLock::operator=(InhibitorLock&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

void InhibitorLock::reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool LogindInhibitor::inhibits(const std::string& kind) const {
    std::istringstream parts(what);
    std::string part;
    while (std::getline(parts, part, ':'))
        if (part == kind) return true;
    return false;
}

InhibitorLock takeLogindLock(sd_bus* systemBus, const std::string& what, const std::string& who,
                             const std::string& why, std::chrono::microseconds timeout, dbus::BusError& error) {
    dbus::MessagePtr reply = dbus::callMethod(systemBus, logindCall("Inhibit"), timeout, error, "ssss",
                                              what.c_str(), who.c_str(), why.c_str(), "block");
    if (!reply) return {};
    int fd = -1;
    int r = sd_bus_message_read(reply.get(), "h", &fd);
    if (r < 0) {
        error.set(-r, "Inhibit: unexpected reply");
        return {};
    }
    // The reply owns `fd` and closes it with the message; the lock needs its own.
    int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (own < 0) {
        error.set(errno, std::string("Inhibit: could not keep the lock: ") + std::strerror(errno));
        return {};
    }
    return InhibitorLock(own);
}

std::optional<std::vector<LogindInhibitor>> listLogindInhibitors(sd_bus* systemBus,
                                                                 std::chrono::microseconds timeout,
                                                                 dbus::BusError& error) {
    dbus::MessagePtr reply = dbus::callMethod(systemBus, logindCall("ListInhibitors"), timeout, error, nullptr);
    if (!reply) return std::nullopt;
    std::vector<LogindInhibitor> result;
    int r = sd_bus_message_enter_container(reply.get(), SD_BUS_TYPE_ARRAY, "(ssssuu)");
    while (r > 0) {
        const char *what, *who, *why, *mode;
        LogindInhibitor row;
        r = sd_bus_message_read(reply.get(), "(ssssuu)", &what, &who, &why, &mode, &row.uid, &row.pid);
        if (r <= 0) break;
        row.what = what;
        row.who = who;
        row.why = why;
        row.mode = mode;
        result.push_back(std::move(row));
    }
    if (r < 0) {
        error.set(-r, "ListInhibitors: unexpected reply");
        return std::nullopt;
    }
    return result;
}

}  // namespace vigilo
