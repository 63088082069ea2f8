#include "support/tr.h"

#include <libintl.h>

#include <clocale>

namespace vigilo {

const char* tr(const char* english) { return ::dgettext(kTextDomain, english); }

const char* trPlural(const char* singular, const char* plural, unsigned long count) {
    return ::dngettext(kTextDomain, singular, plural, count);
}

void initLocalisation(const char* localeDir) {
    std::setlocale(LC_ALL, "");
    ::bindtextdomain(kTextDomain, localeDir);
    ::bind_textdomain_codeset(kTextDomain, "UTF-8");
}

}  // namespace vigilo
