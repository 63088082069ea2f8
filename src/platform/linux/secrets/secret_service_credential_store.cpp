#include "platform/linux/secrets/secret_service_credential_store.h"

#include <libsecret/secret.h>

#include <utility>

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

constexpr guint kReadTimeoutMilliseconds = 2000;

// A main context of this call's own, pushed as the thread's default so the
// asynchronous calls report to it, and a cancellable that a time-out on that
// context trips.
struct PrivateContext {
    GMainContext* context = g_main_context_new();
    GCancellable* cancellable = g_cancellable_new();
    GSource* timeout = g_timeout_source_new(kReadTimeoutMilliseconds);

    PrivateContext() {
        g_main_context_push_thread_default(context);
        g_source_set_callback(timeout, cancel, cancellable, nullptr);
        g_source_attach(timeout, context);
    }
    ~PrivateContext() {
        g_source_destroy(timeout);
        g_source_unref(timeout);
        g_object_unref(cancellable);
        g_main_context_pop_thread_default(context);
        g_main_context_unref(context);
    }
    PrivateContext(const PrivateContext&) = delete;
    PrivateContext& operator=(const PrivateContext&) = delete;

    // A cancelled call still reports, so this ends within the time-out.
    // What the call left queued (its last completions) runs too, or it
    // would be dropped with the context, and its memory with it.
    void runUntil(const bool& done) {
        while (!done) g_main_context_iteration(context, TRUE);
        while (g_main_context_iteration(context, FALSE)) {
        }
    }

    static gboolean cancel(gpointer cancellable) {
        g_cancellable_cancel(static_cast<GCancellable*>(cancellable));
        return G_SOURCE_REMOVE;
    }
};

struct SearchResult {
    bool done = false;
    std::optional<std::string> secret;
};

void onSearched(GObject* source, GAsyncResult* async, gpointer data) {
    auto* result = static_cast<SearchResult*>(data);
    GError* error = nullptr;
    GList* items = secret_service_search_finish(reinterpret_cast<SecretService*>(source), async, &error);
    if (error) g_clear_error(&error);
    // A locked item comes without its secret, and reads as none.
    if (items) {
        if (SecretValue* value = secret_item_get_secret(SECRET_ITEM(items->data))) {
            if (const gchar* text = secret_value_get_text(value)) result->secret = text;
            secret_value_unref(value);
        }
    }
    g_list_free_full(items, g_object_unref);
    result->done = true;
}

std::string describe(GError* error) {
    std::string text = error && error->message ? error->message : "unknown error";
    g_clear_error(&error);
    return text;
}

}  // namespace

std::optional<std::string> SecretServiceCredentialStore::read() {
    PrivateContext context;
    SearchResult result;
    GHashTable* attributes =
        secret_attributes_build(schema(), "service", service_.c_str(), "account", account_.c_str(), nullptr);
    // Without SECRET_SEARCH_UNLOCK: an unlock prompt that a headless session
    // never shows would hold the caller up for good.
    secret_service_search(nullptr, schema(), attributes, SECRET_SEARCH_LOAD_SECRETS, context.cancellable,
                          onSearched, &result);
    g_hash_table_unref(attributes);
    context.runUntil(result.done);
    return std::move(result.secret);
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
