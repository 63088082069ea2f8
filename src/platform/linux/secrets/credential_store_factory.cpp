#include "platform/linux/secrets/credential_store_factory.h"

#include <systemd/sd-bus.h>

#include <cstring>

#include "platform/linux/secrets/file_credential_store.h"
#include "platform/linux/online/online_services.h"
#include "support/log.h"

namespace vigilo {

namespace {

constexpr const char* kSecretsName = "org.freedesktop.secrets";

bool nameHasOwner(sd_bus* bus) {
    sd_bus_message* reply = nullptr;
    int owned = 0;
    if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "NameHasOwner", nullptr, &reply, "s", kSecretsName) >= 0) {
        if (sd_bus_message_read(reply, "b", &owned) < 0) owned = 0;
    }
    sd_bus_message_unref(reply);
    return owned != 0;
}

bool nameIsActivatable(sd_bus* bus) {
    sd_bus_message* reply = nullptr;
    bool found = false;
    if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "ListActivatableNames", nullptr, &reply, "") >= 0 &&
        sd_bus_message_enter_container(reply, 'a', "s") > 0) {
        const char* name = nullptr;
        while (!found && sd_bus_message_read(reply, "s", &name) > 0) found = std::strcmp(name, kSecretsName) == 0;
    }
    sd_bus_message_unref(reply);
    return found;
}

}  // namespace

bool secretServiceAvailable() {
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0) return false;
    const bool available = nameHasOwner(bus) || nameIsActivatable(bus);
    sd_bus_flush_close_unref(bus);
    return available;
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
