#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/credential_store.h"
#include "platform/http_client.h"

namespace vigilo {

// Loads libvigilo-online.so from <executable's folder>/../lib/vigilo the
// first time something needs it, or from $VIGILO_MODULE_DIR when set.
// Thread-safe. A module that cannot be loaded is logged once; the factories
// then return nullptr.
class OnlineModule {
public:
    static std::unique_ptr<HttpClient> makeHttpClient();
    static std::unique_ptr<CredentialStore> makeSecretStore(const std::string& service, const std::string& account,
                                                            const std::string& label);
};

// An HttpClient that loads the module at its first request, so a daemon that
// never sends anything never loads libcurl.
class LazyHttpClient final : public HttpClient {
public:
    void send(HttpRequest request, Completion done) override;

private:
    std::once_flag loaded_;
    std::unique_ptr<HttpClient> client_;
};

}  // namespace vigilo
