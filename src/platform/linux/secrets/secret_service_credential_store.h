#pragma once

#include <string>

#include "platform/credential_store.h"

namespace vigilo {

// One item of the freedesktop Secret Service (GNOME Keyring, KWallet,
// KeePassXC), found by its "service" and "account" attributes, stored in the
// default collection. A locked or refusing service is reported as a failure;
// it never falls back to anything else. read() never asks to unlock (a
// locked item reads as missing) and gives up after 2 seconds, so a keyring
// that waits for a prompt or never answers cannot stall start-up.
class SecretServiceCredentialStore final : public CredentialStore {
public:
    SecretServiceCredentialStore(std::string service, std::string account, std::string label)
        : service_(std::move(service)), account_(std::move(account)), label_(std::move(label)) {}
    std::optional<std::string> read() override;
    std::optional<std::string> write(const std::string& secret) override;

private:
    std::string service_;
    std::string account_;
    std::string label_;
};

}  // namespace vigilo
