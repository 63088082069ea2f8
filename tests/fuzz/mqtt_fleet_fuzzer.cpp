// What `vigilo fleet` and the daemon read from the broker, which anyone who
// may publish there writes: retained messages (records of a topic line and
// its payload, split at NUL bytes) for the listing, and commands.

#include <string>
#include <vector>

#include "app/mqtt/fleet_listing.h"
#include "app/mqtt/mqtt_topics.h"
#include "fuzz_support.h"

using namespace vigilo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto text = fuzz::textOf(data, size);
    std::vector<MqttMessage> messages;
    for (std::size_t start = 0; start <= text.size();) {
        auto end = text.find('\0', start);
        if (end == std::string_view::npos) end = text.size();
        const auto record = text.substr(start, end - start);
        const auto newline = record.find('\n');
        messages.push_back({std::string(record.substr(0, newline)),
                            newline == std::string_view::npos ? std::string() : std::string(record.substr(newline + 1)),
                            true});
        start = end + 1;
    }
    const auto listing = buildFleetListing(messages, "vigilo", "n1", 50);
    fuzz::require(listing.computers.size() <= 50, "the listing is cut at its limit");
    for (const auto& computer : listing.computers) {
        const auto line = fleetLine(computer);
        for (char c : line) fuzz::require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "no control characters");
        (void)fleetJson(computer).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    }
    const MqttTopics topics("vigilo", "homeassistant", "n1");
    for (const auto& message : messages) (void)parseMqttCommand(topics, message.topic, message.payload);
    return 0;
}
