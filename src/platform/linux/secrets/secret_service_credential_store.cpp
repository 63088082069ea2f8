#include "platform/linux/secrets/secret_service_credential_store.h"

#include <libsecret/secret.h>

namespace vigilo {

namespace {

const SecretSchema* schema() {
    static const SecretSchema kSchema = {
        "com.vigilo.app.Credential",
        SECRET_SCHEMA_NONE,
        {
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
    };
    return &kSchema;
}

std::string describe(GError* error) {
    std::string text = error && error->message ? error->message : "unknown error";
    g_clear_error(&error);
    return text;
}

}  // namespace

std::optional<std::string> SecretServiceCredentialStore::read() {
    GError* error = nullptr;
    gchar* secret = secret_password_lookup_sync(schema(), nullptr, &error, "service", service_.c_str(), "account",
                                                account_.c_str(), nullptr);
    if (error) g_clear_error(&error);
    if (!secret) return std::nullopt;
    std::string text = secret;
    secret_password_free(secret);
    return text;
}

std::optional<std::string> SecretServiceCredentialStore::write(const std::string& secret) {
    GError* error = nullptr;
    const gboolean stored =
        secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label_.c_str(), secret.c_str(), nullptr,
                                   &error, "service", service_.c_str(), "account", account_.c_str(), nullptr);
    if (!stored || error) return describe(error);
    return std::nullopt;
}

}  // namespace vigilo
