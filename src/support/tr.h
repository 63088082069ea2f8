#pragma once

#include <fmt/format.h>

#include <string>

namespace vigilo {

inline constexpr const char* kTextDomain = "vigilo";

// Looks up the translation of a user-visible English text in the current
// locale; the English text is the key and the fallback.
const char* tr(const char* english);

// Translates a format text (fmt syntax, "{}" for each value) and fills it
// in. A translation whose placeholders do not fit falls back to English.
template <class... Args>
std::string trFormat(const char* english, const Args&... args) {
    try {
        return fmt::format(fmt::runtime(tr(english)), args...);
    } catch (const fmt::format_error&) {
        return fmt::format(fmt::runtime(english), args...);
    }
}

// The plural form of a counted text for `count` in the current locale
// ("1 event", "2 events"; other languages have more forms than two).
const char* trPlural(const char* singular, const char* plural, unsigned long count);

// trPlural() filled in as trFormat() does; `count` is not filled in by
// itself, so it is usually among `args` too.
template <class... Args>
std::string trPluralFormat(const char* singular, const char* plural, unsigned long count, const Args&... args) {
    try {
        return fmt::format(fmt::runtime(trPlural(singular, plural, count)), args...);
    } catch (const fmt::format_error&) {
        return fmt::format(fmt::runtime(count == 1 ? singular : plural), args...);
    }
}

// Binds the text domain to `localeDir` and applies the user's locale. Call
// once at start-up.
void initLocalisation(const char* localeDir);

}  // namespace vigilo
