#pragma once

#include "platform/credential_store.h"
#include "platform/http_client.h"

// What libvigilo-online.so exports. The module is built from this source
// tree together with the executable, so C++ objects may cross the boundary;
// the caller owns what it gets and the module is never unloaded.
extern "C" {
using VigiloMakeHttpClient = vigilo::HttpClient* (*)();
using VigiloMakeSecretStore = vigilo::CredentialStore* (*)(const char* service, const char* account,
                                                             const char* label);
}

namespace vigilo {
inline constexpr const char* kOnlineModuleFile = "libvigilo-online.so";
inline constexpr const char* kMakeHttpClientSymbol = "vigilo_online_make_http_client";
inline constexpr const char* kMakeSecretStoreSymbol = "vigilo_online_make_secret_store";
}  // namespace vigilo
