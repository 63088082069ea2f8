// The entry points of libvigilo-online.so: the pieces that need libcurl and
// libsecret, kept out of the executable so that the command line and an idle
// daemon never load those libraries and everything they pull in.
#include "platform/linux/http/curl_http_client.h"
#include "platform/linux/online/online_module_abi.h"
#include "platform/linux/secrets/secret_service_credential_store.h"

extern "C" {

__attribute__((visibility("default"))) vigilo::HttpClient* vigilo_online_make_http_client() {
    return new vigilo::CurlHttpClient();
}

__attribute__((visibility("default"))) vigilo::CredentialStore* vigilo_online_make_secret_store(const char* service,
                                                                                               const char* account,
                                                                                               const char* label) {
    return new vigilo::SecretServiceCredentialStore(service, account, label);
}

}  // extern "C"
