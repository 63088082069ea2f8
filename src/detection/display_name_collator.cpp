#include "detection/display_name_collator.h"

#include <stdexcept>
#include <string>

#include "support/utf8_text.h"

namespace vigilo {
namespace {

std::wstring wideLowerCased(std::string_view utf8) {
    const std::u32string codePoints = lowerCasedCodePoints(utf8);
    static_assert(sizeof(wchar_t) == sizeof(char32_t), "wchar_t holds one code point on Linux");
    return std::wstring(codePoints.begin(), codePoints.end());
}

std::locale userLocaleOrClassic() {
    try {
        return std::locale("");
    } catch (const std::runtime_error&) {
        // The environment names a locale the system does not have.
        return std::locale::classic();
    }
}

}  // namespace

DisplayNameCollator::DisplayNameCollator(const std::locale& locale) : locale_(locale) {}

const DisplayNameCollator& DisplayNameCollator::forUserLocale() {
    static const DisplayNameCollator collator(userLocaleOrClassic());
    return collator;
}

int DisplayNameCollator::compare(std::string_view a, std::string_view b) const {
    const std::wstring wa = wideLowerCased(a), wb = wideLowerCased(b);
    const auto& collate = std::use_facet<std::collate<wchar_t>>(locale_);
    return collate.compare(wa.data(), wa.data() + wa.size(), wb.data(), wb.data() + wb.size());
}

}  // namespace vigilo
