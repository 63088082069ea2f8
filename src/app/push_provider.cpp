#include "app/push_provider.h"

namespace vigilo {

std::string_view pushProviderName(PushProvider provider) {
    switch (provider) {
        case PushProvider::none: return "none";
        case PushProvider::ntfy: return "ntfy";
        case PushProvider::pushover: return "pushover";
    }
    return "none";
}

std::optional<PushProvider> pushProviderFromName(std::string_view name) {
    for (auto provider : {PushProvider::none, PushProvider::ntfy, PushProvider::pushover}) {
        if (name == pushProviderName(provider)) return provider;
    }
    return std::nullopt;
}

}  // namespace vigilo
