#include "platform/linux/dbus/shortcuts_service.h"

#include <cstring>

namespace vigilo {

namespace {

// dbus-daemon's RequestName answers.
constexpr std::uint32_t kPrimaryOwner = 1;
constexpr std::uint32_t kAlreadyOwner = 4;

const Logger& shortcutsLog() {
    static const Logger log("Shortcuts");
    return log;
}

using Action = void (*)(ShortcutActions&);

// Every method: refuse strangers, act, reply with nothing.
int actAndReply(sd_bus_message* call, void* userdata, sd_bus_error* error, Action action) {
    auto* service = static_cast<ShortcutsService*>(userdata);
    if (!service->callerAllowed(call)) {
        return sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "Only the user Vigilo runs for may call it");
    }
    action(service->actions());
    return sd_bus_reply_method_return(call, "");
}

int startKeepAwake(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    return actAndReply(call, userdata, error, [](ShortcutActions& actions) { actions.startKeepAwake(); });
}

int stopKeepAwake(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    return actAndReply(call, userdata, error, [](ShortcutActions& actions) { actions.stopKeepAwake(); });
}

int toggleAIWorkloadMode(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    return actAndReply(call, userdata, error, [](ShortcutActions& actions) { actions.toggleAIWorkloadMode(); });
}

int openDashboard(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    return actAndReply(call, userdata, error, [](ShortcutActions& actions) {
        if (!actions.openDashboard()) shortcutsLog().info("Open Dashboard: no dashboard without the tray");
    });
}

int getStatus(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    auto* service = static_cast<ShortcutsService*>(userdata);
    if (!service->callerAllowed(call)) {
        return sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "Only the user Vigilo runs for may call it");
    }
    const std::string status = service->actions().status();
    return sd_bus_reply_method_return(call, "s", status.c_str());
}

// Our own check decides who may call, not sd-bus's capability default.
const sd_bus_vtable kShortcutsVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("StartKeepAwake", "", "", startKeepAwake, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("StopKeepAwake", "", "", stopKeepAwake, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("ToggleAIWorkloadMode", "", "", toggleAIWorkloadMode, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("OpenDashboard", "", "", openDashboard, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetStatus", "", "s", getStatus, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

}  // namespace

bool shortcutCallerAllowed(std::optional<uid_t> callerUid, uid_t ownerUid) {
    return callerUid && *callerUid == ownerUid;
}

bool ShortcutsService::callerAllowed(sd_bus_message* call) const {
    sd_bus_creds* creds = nullptr;
    std::optional<uid_t> caller;
    // dbus-daemon attaches no credentials: AUGMENT asks the bus for them.
    if (sd_bus_query_sender_creds(call, SD_BUS_CREDS_EUID | SD_BUS_CREDS_AUGMENT, &creds) >= 0) {
        uid_t uid = 0;
        if (sd_bus_creds_get_euid(creds, &uid) >= 0) caller = uid;
    }
    sd_bus_creds_unref(creds);
    if (shortcutCallerAllowed(caller, ownerUid_)) return true;
    const char* sender = sd_bus_message_get_sender(call);
    shortcutsLog().error("Refused a shortcut action from {}", sender ? sender : "?");
    return false;
}

bool ShortcutsService::start() {
    if (bus_) return true;
    dbus::BusError error;
    bus_ = dbus::openBus(dbus::BusKind::session, error);
    if (!bus_) {
        shortcutsLog().info("No session bus, shortcut actions unavailable: {}", error.cause);
        return false;
    }
    int r = sd_bus_add_object_vtable(bus_.get(), &objectSlot_, kObjectPath, kInterface, kShortcutsVtable, this);
    if (r >= 0) r = sd_bus_request_name_async(bus_.get(), nullptr, kBusName, 0, &ShortcutsService::onNameReply, nullptr);
    if (r >= 0) r = sd_bus_flush(bus_.get());
    if (r < 0) {
        shortcutsLog().error("Shortcut actions unavailable: {}", std::strerror(-r));
        stop();
        return false;
    }
    busWatch_ = loop_.watchReadable(sd_bus_get_fd(bus_.get()), [this, alive = life_.weak()] {
        if (alive.lock()) drain();
    });
    return true;
}

void ShortcutsService::stop() {
    busWatch_.cancel();
    objectSlot_ = sd_bus_slot_unref(objectSlot_);
    bus_.reset();
}

void ShortcutsService::drain() {
    if (!bus_) return;
    // The replies to the calls just handled go out now, not at the next wake-up.
    if (!dbus::processPending(bus_.get()) || sd_bus_flush(bus_.get()) < 0) {
        shortcutsLog().error("Shortcut actions unavailable: the session bus went away");
        stop();
    }
}

int ShortcutsService::onNameReply(sd_bus_message* reply, void*, sd_bus_error*) {
    std::uint32_t answer = 0;
    if (const sd_bus_error* failure = sd_bus_message_get_error(reply)) {
        shortcutsLog().error("Could not own {}: {}", kBusName, failure->message ? failure->message : failure->name);
    } else if (sd_bus_message_read(reply, "u", &answer) < 0 || (answer != kPrimaryOwner && answer != kAlreadyOwner)) {
        shortcutsLog().error("{} belongs to another program: shortcut actions unavailable", kBusName);
    } else {
        shortcutsLog().info("Shortcut actions ready on {}", kBusName);
    }
    return 0;
}

}  // namespace vigilo
