#pragma once

#include <locale>
#include <string_view>

namespace vigilo {

// Orders display names the way a reader of the user's language expects,
// ignoring case. Uses the collation of the given locale on lower-cased text;
// with the "C" locale that is a case-insensitive comparison of characters.
// Immutable after construction, so safe to share between threads.
class DisplayNameCollator {
public:
    explicit DisplayNameCollator(const std::locale& locale);

    // The collator of the user's locale (LC_ALL, LC_COLLATE, LANG), or of the
    // "C" locale when that one is unknown to the system.
    static const DisplayNameCollator& forUserLocale();

    // Negative, zero or positive, as a sorts before, with or after b.
    int compare(std::string_view a, std::string_view b) const;
    bool less(std::string_view a, std::string_view b) const { return compare(a, b) < 0; }

private:
    std::locale locale_;
};

}  // namespace vigilo
