#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/credential_store.h"

namespace vigilo {

// Whether a Secret Service runs on the user's session bus, or can be started
// there by D-Bus activation. False when there is no session bus at all.
bool secretServiceAvailable();

// The Secret Service item when a Secret Service is available; otherwise the
// private file `fallbackFile`, saying so once in the log of `logCategory`.
std::unique_ptr<CredentialStore> openCredentialStore(const std::string& service, const std::string& account,
                                                     const std::string& label,
                                                     const std::filesystem::path& fallbackFile,
                                                     const std::string& logCategory);

}  // namespace vigilo
