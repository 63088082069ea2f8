#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vigilo {

// Text helpers for bytes that should be UTF-8 but may not be: names and
// command lines from the kernel, command output, hand-edited files.
// Everything here is pure and safe on any thread.

// One character at `pos` of `bytes` (pos < size): its code point and length.
// An ill-formed sequence is U+FFFD with the length of its maximal subpart (at
// least one byte) and `valid` false, so a decoder always moves forward.
struct Utf8Char {
    char32_t codePoint;
    std::size_t length;
    bool valid;
};
Utf8Char decodeUtf8At(std::string_view bytes, std::size_t pos);

// Whether `bytes` is well-formed UTF-8 (no overlongs, surrogates or values
// beyond U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// How many bytes at the end of `bytes` begin a character that more bytes
// would complete (0 to 3): what a reader should hold until the next read.
std::size_t incompleteUtf8Suffix(std::string_view bytes);

// `text` without leading and trailing white space and line breaks, Unicode's
// included (no-break space, ideographic space, line separator, ...).
std::string_view trimmedWhitespace(std::string_view text);

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

// Whether `text` starts with `lowerPrefix` in any ASCII case ("HTTPS://" for
// "https://"); the prefix is given in lower case.
bool startsWithNoCase(std::string_view text, std::string_view lowerPrefix);

}  // namespace vigilo
