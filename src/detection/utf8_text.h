#pragma once

#include <string>
#include <string_view>

namespace vigilo {

// Text helpers for names and command lines that come from the kernel as raw
// bytes. Everything here is pure and safe on any thread.

// `bytes` as valid UTF-8: each ill-formed sequence (its maximal subpart, as
// Unicode recommends) becomes one U+FFFD. Never fails.
std::string decodeUtf8Lossy(std::string_view bytes);

// Lower-cases ASCII and the Latin-1, Greek and Cyrillic capitals (the scripts
// process names and typed patterns use in practice); everything else,
// including invalid bytes, passes through unchanged.
std::string lowerCased(std::string_view utf8);

// The code points of `utf8`, lower-cased as above; invalid bytes become
// U+FFFD. For comparisons that work on characters rather than bytes.
std::u32string lowerCasedCodePoints(std::string_view utf8);

}  // namespace vigilo
