#include "support/utf8_text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace vigilo {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

Utf8Char decodeUtf8At(std::string_view bytes, std::size_t pos) {
    auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    const std::uint8_t lead = byte(pos);
    if (lead < 0x80) return {lead, 1, true};

    std::size_t need = 0;
    char32_t value = 0;
    std::uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1, value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2, value = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3, value = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return {kReplacement, 1, false};
    }
    std::size_t length = 1;
    for (std::size_t i = 0; i < need; ++i, ++length) {
        if (pos + length >= bytes.size()) return {kReplacement, length, false};
        const std::uint8_t next = byte(pos + length);
        const std::uint8_t min = i == 0 ? low : 0x80, max = i == 0 ? high : 0xBF;
        if (next < min || next > max) return {kReplacement, length, false};
        value = (value << 6) | (next & 0x3Fu);
    }
    return {value, length, true};
}

namespace {

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

char32_t lowerCodePoint(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 32;
    if (c < 0xC0) return c;
    if (c <= 0xDE && c != 0xD7) return c + 32;                     // À..Þ except ×
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;     // Α..Ω
    if (c >= 0x410 && c <= 0x42F) return c + 32;                   // А..Я
    if (c >= 0x400 && c <= 0x40F) return c + 80;                   // Ѐ..Џ
    return c;
}

bool isAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<std::uint8_t>(c) < 0x80; });
}

}  // namespace

std::string decodeUtf8Lossy(std::string_view bytes) {
    if (isAscii(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 8);
    for (std::size_t pos = 0; pos < bytes.size();) {
        const Utf8Char step = decodeUtf8At(bytes, pos);
        if (step.valid) {
            out.append(bytes.substr(pos, step.length));
        } else {
            appendUtf8(out, kReplacement);
        }
        pos += step.length;
    }
    return out;
}

bool startsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
    if (text.size() < lowerPrefix.size()) return false;
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != lowerPrefix[i]) return false;
    }
    return true;
}

std::string lowerCased(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    if (isAscii(utf8)) {
        for (char c : utf8) out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
        return out;
    }
    for (std::size_t pos = 0; pos < utf8.size();) {
        const Utf8Char step = decodeUtf8At(utf8, pos);
        if (step.valid) {
            appendUtf8(out, lowerCodePoint(step.codePoint));
        } else {
            out.append(utf8.substr(pos, step.length));
        }
        pos += step.length;
    }
    return out;
}

std::u32string lowerCasedCodePoints(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const Utf8Char step = decodeUtf8At(utf8, pos);
        out.push_back(lowerCodePoint(step.codePoint));
        pos += step.length;
    }
    return out;
}

bool isValidUtf8(std::string_view bytes) {
    for (std::size_t pos = 0; pos < bytes.size();) {
        const Utf8Char c = decodeUtf8At(bytes, pos);
        if (!c.valid) return false;
        pos += c.length;
    }
    return true;
}

std::size_t incompleteUtf8Suffix(std::string_view bytes) {
    const std::size_t window = std::min<std::size_t>(bytes.size(), 3);
    for (std::size_t back = 1; back <= window; ++back) {
        const auto c = static_cast<std::uint8_t>(bytes[bytes.size() - back]);
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        std::size_t length = 0;
        if (c >= 0xC2 && c <= 0xDF) length = 2;
        if (c >= 0xE0 && c <= 0xEF) length = 3;
        if (c >= 0xF0 && c <= 0xF4) length = 4;
        return length > back ? back : 0;
    }
    return 0;
}

namespace {

bool isWhitespace(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

}  // namespace

std::string_view trimmedWhitespace(std::string_view text) {
    std::size_t first = text.size(), end = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const Utf8Char c = decodeUtf8At(text, pos);
        if (!c.valid || !isWhitespace(c.codePoint)) {
            first = std::min(first, pos);
            end = pos + c.length;
        }
        pos += c.length;
    }
    return first < end ? text.substr(first, end - first) : std::string_view();
}

}  // namespace vigilo
