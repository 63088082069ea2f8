#pragma once

#include <memory>
#include <mutex>

#include "platform/credential_store.h"
#include "platform/linux/secrets/credential_store_factory.h"

namespace vigilo {

// The user's store for one item, chosen and opened at its first use rather
// than when the application starts: the Secret Service's store is in the
// online module, and loading it brings libsecret and the forty-odd libraries
// behind it. A read before anything was written first asks the bus whether
// the Secret Service holds the item at all; when it does not, the answer is
// "none" and nothing is loaded. Calls block as CredentialStore's do; safe
// from any thread.
class LazyCredentialStore final : public CredentialStore {
public:
    explicit LazyCredentialStore(CredentialItem item) : item_(std::move(item)) {}

    std::optional<std::string> read() override;
    std::optional<std::string> write(const std::string& secret) override;

private:
    std::mutex mutex_;
    const CredentialItem item_;
    std::unique_ptr<CredentialStore> store_;
};

}  // namespace vigilo
