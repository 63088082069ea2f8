#include "app/mqtt/mqtt_address.h"

#include <charconv>
#include <optional>

#include "support/tr.h"
#include "support/utf8_text.h"

namespace vigilo {

namespace {

bool hasSpaceOrControl(std::string_view text) {
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F) return true;
    }
    return false;
}

std::optional<int> portNumber(std::string_view digits) {
    int port = 0;
    const auto* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, port);
    if (digits.empty() || ec != std::errc() || ptr != end || port < 1 || port > 65535) return std::nullopt;
    return port;
}

}  // namespace

std::variant<MqttEndpoint, std::string> parseMqttBroker(std::string_view text) {
    MqttEndpoint endpoint;
    std::string_view rest;
    if (startsWithNoCase(text, "mqtts://")) {
        endpoint.tls = true;
        rest = text.substr(8);
    } else if (startsWithNoCase(text, "mqtt://")) {
        rest = text.substr(7);
    } else {
        return std::string(tr("The broker address must start with mqtt:// or mqtts://."));
    }
    if (hasSpaceOrControl(text)) return std::string(tr("The broker address must not contain spaces."));
    if (rest.ends_with('/')) rest.remove_suffix(1);
    if (rest.find('@') != std::string_view::npos) {
        return std::string(tr("Put the user name in its own field, not in the broker address."));
    }
    if (rest.find_first_of("/?#") != std::string_view::npos) {
        return std::string(tr("The broker address takes a host and a port only, no path."));
    }
    endpoint.port = endpoint.tls ? kMqttTlsPort : kMqttPort;
    std::string_view portText;
    bool hasPort = false;
    if (rest.starts_with('[')) {
        const auto close = rest.find(']');
        if (close == std::string_view::npos) return std::string(tr("The broker address has an unclosed [."));
        endpoint.host = std::string(rest.substr(1, close - 1));
        const auto after = rest.substr(close + 1);
        if (!after.empty() && !after.starts_with(':')) return std::string(tr("The broker address has text after its host."));
        hasPort = !after.empty();
        if (hasPort) portText = after.substr(1);
    } else {
        const auto colon = rest.find(':');
        endpoint.host = std::string(rest.substr(0, colon));
        hasPort = colon != std::string_view::npos;
        if (hasPort) portText = rest.substr(colon + 1);
    }
    if (endpoint.host.empty()) return std::string(tr("The broker address has no host."));
    if (hasPort) {
        const auto port = portNumber(portText);
        if (!port) return std::string(tr("The broker's port must be a number from 1 to 65535."));
        endpoint.port = *port;
    }
    return endpoint;
}

std::string mqttHostAndPort(const MqttEndpoint& endpoint) {
    const bool ipv6 = endpoint.host.find(':') != std::string::npos;
    return (ipv6 ? "[" + endpoint.host + "]" : endpoint.host) + ":" + std::to_string(endpoint.port);
}

}  // namespace vigilo

namespace vigilo {

std::optional<std::string> mqttPrefixProblem(std::string_view prefix) {
    if (prefix.empty() || prefix.find_first_of(std::string_view("+#\0", 3)) != std::string_view::npos ||
        prefix.front() == '/' || prefix.back() == '/' || prefix.find("//") != std::string_view::npos) {
        return trFormat("\"{}\" cannot be a topic prefix: use words and single slashes, without + or #.",
                        std::string(prefix.substr(0, 64)));
    }
    return std::nullopt;
}

std::string mqttFailureText(const MqttFailure& failure, const MqttEndpoint& endpoint) {
    using Kind = MqttFailure::Kind;
    switch (failure.kind) {
        case Kind::refusedLogin: return tr("The broker refused the user name or password.");
        case Kind::unreachable: return trFormat("No broker answers at {}.", mqttHostAndPort(endpoint));
        case Kind::untrusted: return trFormat("The broker's certificate is not trusted: {}.", failure.detail);
        case Kind::refused: return trFormat("The broker refused the connection: {}.", failure.detail);
        case Kind::silent: return trFormat("The broker at {} does not answer.", mqttHostAndPort(endpoint));
        case Kind::lost: break;
    }
    return failure.detail.empty() ? std::string(tr("The connection to the broker was lost."))
                                  : trFormat("The connection to the broker was lost: {}.", failure.detail);
}

}  // namespace vigilo
