#include "platform/linux/online/online_services.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/linux/online/online_module_abi.h"
#include "support/log.h"

namespace vigilo {

namespace {

std::filesystem::path moduleFolder() {
    if (const char* dir = std::getenv("VIGILO_MODULE_DIR"); dir && *dir) return dir;
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return exe.parent_path().parent_path() / "lib" / "vigilo";
}

// The module's handle, loaded once; nullptr when it cannot be.
void* moduleHandle() {
    static void* handle = [] {
        const auto path = moduleFolder() / kOnlineModuleFile;
        void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (!h) Logger("Webhook").error("Cannot load {}: {}", path.string(), ::dlerror());
        return h;
    }();
    return handle;
}

template <class Function>
Function symbol(const char* name) {
    void* handle = moduleHandle();
    return handle ? reinterpret_cast<Function>(::dlsym(handle, name)) : nullptr;
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
