#include "platform/linux/secrets/lazy_credential_store.h"

namespace vigilo {

std::optional<std::string> LazyCredentialStore::read() {
    std::lock_guard lock(mutex_);
    if (!store_) {
        const StoredSecret found = findStoredSecret(item_);
        // Left unopened: a write later still finds the Secret Service.
        if (found == StoredSecret::absent) return std::nullopt;
        store_ = openCredentialStore(item_, found == StoredSecret::presentOrUnknown);
    }
    return store_->read();
}

std::optional<std::string> LazyCredentialStore::write(const std::string& secret) {
    std::lock_guard lock(mutex_);
    if (!store_) store_ = openCredentialStore(item_);
    return store_->write(secret);
}

}  // namespace vigilo
