#include "platform/linux/privileged/polkit_authority.h"

#include <unistd.h>

#include <cstdint>

#include "platform/linux/dbus/bus.h"
#include "platform/linux/proc/proc_stat.h"
#include "support/bounded_file.h"

namespace vigilo {
namespace {

constexpr dbus::MethodTarget kCheckAuthorization{"org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority",
                                                 "org.freedesktop.PolicyKit1.Authority", "CheckAuthorization"};
// Without AllowUserInteraction polkit answers "would have to ask" instead of asking.
constexpr std::uint32_t kNoInteraction = 0;
constexpr std::uint32_t kAllowUserInteraction = 1;

// Clock ticks since boot, as polkit compares it with /proc/<pid>/stat: a
// reused pid then never inherits an authorisation.
std::optional<std::uint64_t> ownStartTime() {
    const auto stat = readBoundedFile("/proc/self/stat", 4096);
    if (stat.status != BoundedFile::Status::ok) return std::nullopt;
    const auto usage = parseProcStat(stat.contents, ::sysconf(_SC_CLK_TCK), ::sysconf(_SC_PAGESIZE));
    if (!usage) return std::nullopt;
    return usage->startTime;
}

}  // namespace

std::optional<bool> polkitAuthorizes(const char* action, PolkitQuestion question, std::chrono::milliseconds timeout,
                                     std::string& why) {
    const auto startTime = ownStartTime();
    if (!startTime) {
        why = "cannot read this process's start time";
        return std::nullopt;
    }
    dbus::BusError error;
    dbus::BusPtr bus = dbus::openBus(dbus::BusKind::system, error);
    if (!bus) {
        why = error.cause;
        return std::nullopt;
    }
    dbus::MessagePtr reply = dbus::callMethod(
        bus.get(), kCheckAuthorization, timeout, error, "(sa{sv})sa{ss}us", "unix-process", 3, "pid", "u",
        static_cast<std::uint32_t>(::getpid()), "start-time", "t", *startTime, "uid", "i",
        static_cast<std::int32_t>(::getuid()), action, 0,
        question == PolkitQuestion::mayAsk ? kAllowUserInteraction : kNoInteraction, "");
    if (!reply) {
        why = error.cause;
        return std::nullopt;
    }
    int authorized = 0, challenge = 0;
    if (sd_bus_message_enter_container(reply.get(), 'r', "bba{ss}") < 0 ||
        sd_bus_message_read(reply.get(), "bb", &authorized, &challenge) < 0) {
        why = "polkit's answer could not be read";
        return std::nullopt;
    }
    return authorized != 0;
}

}  // namespace vigilo
