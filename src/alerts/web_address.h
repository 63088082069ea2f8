#pragma once

#include <string>
#include <string_view>

namespace vigilo {

// Whether `text` is an address the HTTP client can send to: "http://" or
// "https://" (any case), a host, and no white space or control characters.
bool isValidHttpUrl(std::string_view text);

// Percent-encodes everything but the unreserved characters (letters, digits,
// "-", ".", "_", "~"), so "+", "&" and "=" survive a form body intact.
std::string percentEncodeComponent(std::string_view text);

// "name=value&name=value" with each value percent-encoded.
std::string formEncode(std::initializer_list<std::pair<std::string_view, std::string_view>> fields);

// The text with diacritical marks removed (é becomes e) and then every
// character that is not ASCII dropped (emoji, dashes and the like).
std::string asciiWithoutDiacritics(std::string_view utf8);

}  // namespace vigilo
