#include "alerts/web_address.h"

#include <cctype>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "support/utf8_text.h"

namespace vigilo {

namespace {

// The base letters of U+00C0..U+017F after canonical decomposition; '-' for
// letters that do not decompose (Æ, Ø, ß, Ł, Œ ...), which are dropped.
constexpr std::string_view kLatin1Bases = "AAAAAA-CEEEEIIII-NOOOOO--UUUUY--aaaaaa-ceeeeiiii-nooooo--uuuuy-y";
constexpr std::string_view kLatinExtendedABases =
    "AaAaAaCcCcCcCcDd--EeEeEeEeEeGgGgGgGgHh--IiIiIiIiI---JjKk-LlLlLl----NnNnNn---OoOoOo--RrRrRrSsSsSsSsTtTt--"
    "UuUuUuUuUuUuWwYyYZzZzZz-";
static_assert(kLatin1Bases.size() == 0x100 - 0xC0);
static_assert(kLatinExtendedABases.size() == 0x180 - 0x100);

// Decodes one character at `i`; returns its code point (0xFFFD when broken)
// and advances `i`.
char32_t nextCodePoint(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || i + length > text.size()) {
        ++i;
        return 0xFFFD;
    }
    char32_t value = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        value = (value << 6) | (c & 0x3F);
    }
    i += length;
    return value;
}

}  // namespace

bool isValidHttpUrl(std::string_view text) {
    std::string_view rest;
    if (startsWithNoCase(text, "https://")) rest = text.substr(8);
    else if (startsWithNoCase(text, "http://")) rest = text.substr(7);
    else return false;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F) return false;
    }
    const std::size_t hostEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, hostEnd);
    if (auto at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
    return !authority.empty() && authority.front() != ':';
}

std::string percentEncodeComponent(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 0x0F];
        }
    }
    return out;
}

std::string formEncode(std::initializer_list<std::pair<std::string_view, std::string_view>> fields) {
    std::string out;
    for (const auto& [name, value] : fields) {
        if (!out.empty()) out += '&';
        out += name;
        out += '=';
        out += percentEncodeComponent(value);
    }
    return out;
}

std::string asciiWithoutDiacritics(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = nextCodePoint(utf8, i);
        char base = '-';
        if (c < 0x80) base = static_cast<char>(c);
        else if (c >= 0xC0 && c < 0x100) base = kLatin1Bases[c - 0xC0];
        else if (c >= 0x100 && c < 0x180) base = kLatinExtendedABases[c - 0x100];
        // Combining marks (U+0300..U+036F) and everything else fall away.
        if (c < 0x80 || base != '-') out += base;
    }
    return out;
}

}  // namespace vigilo
