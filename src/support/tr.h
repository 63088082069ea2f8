#pragma once

namespace vigilo {

inline constexpr const char* kTextDomain = "vigilo";

// Looks up the translation of a user-visible English text in the current
// locale; the English text is the key and the fallback.
const char* tr(const char* english);

// Binds the text domain to `localeDir` and applies the user's locale. Call
// once at start-up.
void initLocalisation(const char* localeDir);

}  // namespace vigilo
