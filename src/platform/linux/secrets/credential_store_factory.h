#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/credential_store.h"

namespace vigilo {

// One secret of the user's: the Secret Service item it is, and the private
// file it is kept in where no Secret Service runs.
struct CredentialItem {
    // The item's "service" and "account" attributes.
    std::string service;
    std::string account;
    // What the keyring's own windows show for it.
    std::string label;
    std::filesystem::path fallbackFile;
    // Where the choice of the file is said, once.
    std::string logCategory;
};

// Whether a Secret Service runs on the user's session bus, or can be started
// there by D-Bus activation. False when there is no session bus at all.
bool secretServiceAvailable();

enum class StoredSecret { noSecretService, absent, presentOrUnknown };

// Whether the Secret Service holds `item`, asked over the bus alone, so that
// finding nothing loads neither libsecret nor the online module. Starts an
// activatable Secret Service, as libsecret would. A service that does not
// answer, or answers oddly, reads as presentOrUnknown: then only libsecret
// can tell.
StoredSecret findStoredSecret(const CredentialItem& item);

// The Secret Service item when a Secret Service is available; otherwise the
// private file, saying so once in the log of the item's category. The first
// form asks the bus; the second takes its answer.
std::unique_ptr<CredentialStore> openCredentialStore(const CredentialItem& item);
std::unique_ptr<CredentialStore> openCredentialStore(const CredentialItem& item, bool secretServiceAvailable);

}  // namespace vigilo
