#include "platform/linux/online/online_services.h"

#include <thread>

#include "platform/linux/loaded_module.h"
#include "platform/linux/online/online_module_abi.h"
#include "support/log.h"

namespace vigilo {

namespace {

template <class Function>
Function symbol(const char* name) {
    static const LoadedModule module(kOnlineModuleFile, "Webhook");
    return module.symbol<Function>(name);
}

// Answers every request with the reason nothing can be sent.
class UnavailableHttpClient final : public HttpClient {
public:
    void send(HttpRequest, Completion done) override {
        std::thread([done = std::move(done)] { done(HttpResponse{"network support is not installed", 0}); }).detach();
    }
};

}  // namespace

std::unique_ptr<HttpClient> OnlineModule::makeHttpClient() {
    auto make = symbol<VigiloMakeHttpClient>(kMakeHttpClientSymbol);
    return make ? std::unique_ptr<HttpClient>(make()) : nullptr;
}

std::unique_ptr<CredentialStore> OnlineModule::makeSecretStore(const std::string& service,
                                                               const std::string& account,
                                                               const std::string& label) {
    auto make = symbol<VigiloMakeSecretStore>(kMakeSecretStoreSymbol);
    return make ? std::unique_ptr<CredentialStore>(make(service.c_str(), account.c_str(), label.c_str())) : nullptr;
}

void LazyHttpClient::send(HttpRequest request, Completion done) {
    std::call_once(loaded_, [this] {
        client_ = OnlineModule::makeHttpClient();
        if (!client_) client_ = std::make_unique<UnavailableHttpClient>();
    });
    client_->send(std::move(request), std::move(done));
}

}  // namespace vigilo
