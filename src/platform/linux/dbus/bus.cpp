#include "platform/linux/dbus/bus.h"

#include <fmt/format.h>
#include <time.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vigilo::dbus {

namespace {

constexpr const char* kBusName = "org.freedesktop.DBus";
constexpr const char* kBusPath = "/org/freedesktop/DBus";

std::uint64_t monotonicMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
}

std::uint64_t toMicroseconds(std::chrono::microseconds d) {
    return d.count() > 0 ? static_cast<std::uint64_t>(d.count()) : 1;
}

// Where a reply lands while callWithTimeout() drives the connection.
struct PendingReply {
    MessagePtr reply;
    bool done = false;
};

int onReply(sd_bus_message* reply, void* userdata, sd_bus_error*) {
    auto* pending = static_cast<PendingReply*>(userdata);
    pending->reply.reset(sd_bus_message_ref(reply));
    pending->done = true;
    return 0;
}

struct SlotUnref {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};

// Takes the error out of an error reply; true when `reply` was one.
bool takeErrorReply(sd_bus_message* reply, BusError& error) {
    const sd_bus_error* replyError = sd_bus_message_get_error(reply);
    if (!replyError) return false;
    int code = sd_bus_error_get_errno(replyError);
    const char* name = replyError->name ? replyError->name : "";
    const char* message = replyError->message ? replyError->message : "";
    error.set(code > 0 ? code : EIO, fmt::format("{}: {}", name, message), name);
    return true;
}

}  // namespace

void BusError::set(int errnoValue, std::string text, std::string errorName) {
    code = errnoValue > 0 ? errnoValue : EIO;
    cause = std::move(text);
    name = std::move(errorName);
}

bool BusError::connectionLost() const {
    return code == ECONNRESET || code == ENOTCONN || code == EPIPE || code == ESHUTDOWN || code == ECONNREFUSED;
}

BusPtr openBus(BusKind kind, BusError& error) {
    sd_bus* raw = nullptr;
    int r = kind == BusKind::system ? sd_bus_open_system(&raw) : sd_bus_open_user(&raw);
    if (r < 0) {
        error.set(-r, fmt::format("no {} bus: {}", kind == BusKind::system ? "system" : "session", std::strerror(-r)));
        return nullptr;
    }
    return BusPtr(raw);
}

bool processPending(sd_bus* bus) {
    int r;
    while ((r = sd_bus_process(bus, nullptr)) > 0) {
    }
    return r >= 0;
}

MessagePtr newMethodCall(sd_bus* bus, const MethodTarget& target, BusError& error) {
    sd_bus_message* raw = nullptr;
    int r = sd_bus_message_new_method_call(bus, &raw, target.destination, target.path, target.interface,
                                           target.member);
    if (r < 0) {
        error.set(-r, fmt::format("could not build {}: {}", target.member, std::strerror(-r)));
        return nullptr;
    }
    MessagePtr call(raw);
    sd_bus_message_set_auto_start(raw, 0);
    return call;
}

MessagePtr callWithTimeout(sd_bus* bus, sd_bus_message* call, std::chrono::microseconds timeout,
                           BusError& error) {
    // sd_bus_call() would wait for the handshake without a bound; driving the
    // connection here keeps one deadline over all of it.
    const std::uint64_t limit = toMicroseconds(timeout);
    const std::uint64_t deadline = monotonicMicroseconds() + limit;
    // A copy: sealing the message on sending moves its header.
    const char* memberField = sd_bus_message_get_member(call);
    const std::string member = memberField ? memberField : "call";

    PendingReply pending;
    sd_bus_slot* rawSlot = nullptr;
    // The call's own time-out is sd-bus's default, so the deadline below is
    // always the one that ends the wait.
    int r = sd_bus_call_async(bus, &rawSlot, call, onReply, &pending, 0);
    if (r < 0) {
        error.set(-r, fmt::format("{} not sent: {}", member, std::strerror(-r)));
        return nullptr;
    }
    std::unique_ptr<sd_bus_slot, SlotUnref> slot(rawSlot);
    while (!pending.done) {
        r = sd_bus_process(bus, nullptr);
        if (r < 0) {
            error.set(-r, fmt::format("{} failed: {}", member, std::strerror(-r)));
            return nullptr;
        }
        if (r > 0) continue;
        const std::uint64_t now = monotonicMicroseconds();
        if (now >= deadline) {
            error.set(ETIMEDOUT, fmt::format("{} timed out", member));
            return nullptr;
        }
        r = sd_bus_wait(bus, deadline - now);
        if (r < 0 && r != -EINTR) {
            error.set(-r, fmt::format("{} failed: {}", member, std::strerror(-r)));
            return nullptr;
        }
    }
    if (takeErrorReply(pending.reply.get(), error)) return nullptr;
    return std::move(pending.reply);
}

std::optional<std::vector<std::string>> listNames(sd_bus* bus, std::chrono::microseconds timeout,
                                                  BusError& error) {
    MessagePtr reply =
        callMethod(bus, {kBusName, kBusPath, kBusName, "ListNames"}, timeout, error, nullptr);
    if (!reply) return std::nullopt;
    char** names = nullptr;
    int r = sd_bus_message_read_strv(reply.get(), &names);
    if (r < 0) {
        error.set(-r, "ListNames: unexpected reply");
        return std::nullopt;
    }
    std::vector<std::string> result;
    for (char** name = names; name && *name; ++name) {
        result.emplace_back(*name);
        std::free(*name);
    }
    std::free(names);
    return result;
}

std::optional<bool> nameHasOwner(sd_bus* bus, const std::string& name, std::chrono::microseconds timeout,
                                 BusError& error) {
    MessagePtr reply =
        callMethod(bus, {kBusName, kBusPath, kBusName, "NameHasOwner"}, timeout, error, "s", name.c_str());
    if (!reply) return std::nullopt;
    int hasOwner = 0;
    int r = sd_bus_message_read(reply.get(), "b", &hasOwner);
    if (r < 0) {
        error.set(-r, "NameHasOwner: unexpected reply");
        return std::nullopt;
    }
    return hasOwner != 0;
}

}  // namespace vigilo::dbus
