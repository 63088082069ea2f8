#include "platform/linux/secrets/credential_store_factory.h"

#include <chrono>
#include <cstring>

#include "platform/linux/dbus/bus.h"
#include "platform/linux/online/online_services.h"
#include "platform/linux/secrets/file_credential_store.h"
#include "support/log.h"

namespace vigilo {

namespace {

constexpr const char* kSecretsName = "org.freedesktop.secrets";
// The bus itself answers these: a stuck session bus must not hold the
// caller up for sd-bus's default 25 seconds.
constexpr auto kCallTimeout = std::chrono::seconds(2);
// The search may have to wait for the keyring to start.
constexpr auto kSearchTimeout = std::chrono::seconds(5);

bool nameIsActivatable(sd_bus* bus) {
    dbus::BusError error;
    auto reply = dbus::callMethod(bus, {"org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                        "ListActivatableNames"},
                                  kCallTimeout, error, "");
    bool found = false;
    if (reply && sd_bus_message_enter_container(reply.get(), 'a', "s") > 0) {
        const char* name = nullptr;
        while (!found && sd_bus_message_read(reply.get(), "s", &name) > 0) found = std::strcmp(name, kSecretsName) == 0;
    }
    return found;
}

bool secretServiceOn(sd_bus* bus) {
    dbus::BusError error;
    const auto running = dbus::nameHasOwner(bus, kSecretsName, kCallTimeout, error);
    if (!running) return false;  // a bus that does not answer is not asked twice
    return *running || nameIsActivatable(bus);
}

// The paths in one "ao" of the reply; -1 when it is not one.
int countPaths(sd_bus_message* reply) {
    if (sd_bus_message_enter_container(reply, 'a', "o") <= 0) return -1;
    int count = 0;
    const char* path = nullptr;
    int r = 0;
    while ((r = sd_bus_message_read(reply, "o", &path)) > 0) ++count;
    if (r < 0 || sd_bus_message_exit_container(reply) < 0) return -1;
    return count;
}

}  // namespace

bool secretServiceAvailable() {
    dbus::BusError error;
    auto bus = dbus::openBus(dbus::BusKind::session, error);
    return bus && secretServiceOn(bus.get());
}

StoredSecret findStoredSecret(const CredentialItem& item) {
    dbus::BusError error;
    auto bus = dbus::openBus(dbus::BusKind::session, error);
    if (!bus || !secretServiceOn(bus.get())) return StoredSecret::noSecretService;
    auto call = dbus::newMethodCall(
        bus.get(), {kSecretsName, "/org/freedesktop/secrets", "org.freedesktop.Secret.Service", "SearchItems"}, error);
    if (!call) return StoredSecret::presentOrUnknown;
    sd_bus_message_set_auto_start(call.get(), 1);
    // Items carry more attributes (libsecret adds the schema's name); a
    // search matches every item that has these two.
    if (sd_bus_message_append(call.get(), "a{ss}", 2, "service", item.service.c_str(), "account",
                              item.account.c_str()) < 0) {
        return StoredSecret::presentOrUnknown;
    }
    auto reply = dbus::callWithTimeout(bus.get(), call.get(), kSearchTimeout, error);
    if (!reply) return StoredSecret::presentOrUnknown;
    const int unlocked = countPaths(reply.get());
    const int locked = unlocked < 0 ? -1 : countPaths(reply.get());
    return unlocked == 0 && locked == 0 ? StoredSecret::absent : StoredSecret::presentOrUnknown;
}

std::unique_ptr<CredentialStore> openCredentialStore(const CredentialItem& item) {
    return openCredentialStore(item, secretServiceAvailable());
}

std::unique_ptr<CredentialStore> openCredentialStore(const CredentialItem& item, bool secretServiceAvailable) {
    if (secretServiceAvailable) {
        if (auto store = OnlineModule::makeSecretStore(item.service, item.account, item.label)) return store;
        // Without the module there is no way to the Secret Service; the
        // private file at least keeps the settings.
    }
    Logger(item.logCategory)
        .info("No Secret Service is running; keeping the settings in {} (readable only by you)",
              item.fallbackFile.string());
    return std::make_unique<FileCredentialStore>(item.fallbackFile);
}

}  // namespace vigilo
