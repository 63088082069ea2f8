#pragma once

#include <optional>
#include <string>

namespace vigilo {

// One secret item of the user's credential store (the Secret Service, or a
// private file where none runs). Calls block and may take a moment (a D-Bus
// round trip); one call at a time, from any thread.
class CredentialStore {
public:
    virtual ~CredentialStore() = default;

    // The stored secret; nullopt when there is none or it cannot be read.
    virtual std::optional<std::string> read() = 0;

    // Replaces the stored secret. Returns the failure's description, which
    // never contains the secret.
    virtual std::optional<std::string> write(const std::string& secret) = 0;
};

}  // namespace vigilo
