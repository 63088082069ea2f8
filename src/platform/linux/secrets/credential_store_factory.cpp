#include "platform/linux/secrets/credential_store_factory.h"

#include <chrono>
#include <cstring>

#include "platform/linux/secrets/file_credential_store.h"
#include "platform/linux/dbus/bus.h"
#include "platform/linux/online/online_services.h"
#include "support/log.h"

namespace vigilo {

namespace {

constexpr const char* kSecretsName = "org.freedesktop.secrets";
// Asked once at start-up on the main thread: a stuck session bus must not
// hold the daemon up for sd-bus's default 25 seconds.
constexpr auto kCallTimeout = std::chrono::seconds(2);

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

}  // namespace

bool secretServiceAvailable() {
    dbus::BusError error;
    auto bus = dbus::openBus(dbus::BusKind::session, error);
    if (!bus) return false;
    const auto running = dbus::nameHasOwner(bus.get(), kSecretsName, kCallTimeout, error);
    if (!running) return false;  // a bus that does not answer is not asked twice
    return *running || nameIsActivatable(bus.get());
}

std::unique_ptr<CredentialStore> openCredentialStore(const std::string& service, const std::string& account,
                                                     const std::string& label,
                                                     const std::filesystem::path& fallbackFile,
                                                     const std::string& logCategory) {
    if (secretServiceAvailable()) {
        if (auto store = OnlineModule::makeSecretStore(service, account, label)) return store;
        // Without the module there is no way to the Secret Service; the
        // private file at least keeps the settings.
    }
    Logger(logCategory).info("No Secret Service is running; keeping the settings in {} (readable only by you)",
                             fallbackFile.string());
    return std::make_unique<FileCredentialStore>(fallbackFile);
}

}  // namespace vigilo
