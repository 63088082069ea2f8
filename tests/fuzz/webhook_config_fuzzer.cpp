// The webhook settings reader over the text the credential store returns,
// which other programs of the session can write.

#include "alerts/webhook_config.h"
#include "fuzz_support.h"

using namespace vigilo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto config = decodeWebhookConfig(fuzz::textOf(data, size));
    if (!config) return 0;
    fuzz::require(decodeWebhookConfig(encodeWebhookConfig(*config)) == config, "a stored configuration reads back");
    return 0;
}
