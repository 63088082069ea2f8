#pragma once

#include <optional>
#include <string_view>

namespace vigilo {

// The phone push service alerts go to. Stored in the preferences as "none",
// "ntfy" or "pushover".
enum class PushProvider {
    none,
    ntfy,
    pushover,
};

// The stored name of the provider.
std::string_view pushProviderName(PushProvider provider);

// The provider with exactly this stored name (case matters); nullopt for any
// other text.
std::optional<PushProvider> pushProviderFromName(std::string_view name);

}  // namespace vigilo
