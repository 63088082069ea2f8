#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/mqtt_client.h"

namespace vigilo {

inline constexpr int kMqttPort = 1883;
inline constexpr int kMqttTlsPort = 8883;

// A broker address as the settings hold it: "mqtt://host[:port]" or
// "mqtts://host[:port]" (scheme in any case, an IPv6 host in brackets, a
// single trailing "/" allowed). Like web addresses: no user info, no path,
// query or fragment, no white space or control characters. The endpoint,
// or the reason in words.
std::variant<MqttEndpoint, std::string> parseMqttBroker(std::string_view text);

// "host:port", with an IPv6 host in brackets.
std::string mqttHostAndPort(const MqttEndpoint& endpoint);

}  // namespace vigilo

namespace vigilo {

// Why a topic prefix cannot be used (empty, a wildcard, a leading or
// trailing "/", a NUL), or nothing.
std::optional<std::string> mqttPrefixProblem(std::string_view prefix);

// The failure in the settings window's words: "The broker refused the user
// name or password.", "No broker answers at <host>:<port>.", "The broker's
// certificate is not trusted: <reason>." and the like.
std::string mqttFailureText(const MqttFailure& failure, const MqttEndpoint& endpoint);

}  // namespace vigilo
