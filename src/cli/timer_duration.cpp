#include "cli/timer_duration.h"

#include <array>
#include <charconv>

namespace vigilo {

namespace {

struct Unit {
    char letter;
    std::int64_t seconds;
};

// In the order they must appear.
constexpr std::array<Unit, 3> kUnits{{{'h', 3600}, {'m', 60}, {'s', 1}}};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The digits at the front of `text`, taken off it; nullopt when there are
// none or they overflow.
std::optional<std::int64_t> takeNumber(std::string_view& text) {
    std::size_t length = 0;
    while (length < text.size() && isDigit(text[length])) ++length;
    if (length == 0) return std::nullopt;
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + length, value);
    if (error != std::errc() || end != text.data() + length) return std::nullopt;
    text.remove_prefix(length);
    return value;
}

std::optional<std::int64_t> checkedAdd(std::int64_t total, std::int64_t count, std::int64_t unitSeconds) {
    std::int64_t part = 0;
    if (__builtin_mul_overflow(count, unitSeconds, &part)) return std::nullopt;
    if (__builtin_add_overflow(total, part, &total)) return std::nullopt;
    return total;
}

}  // namespace

std::optional<std::int64_t> parseTimerDuration(std::string_view text) {
    if (text.empty()) return std::nullopt;
    auto plain = text;
    if (auto seconds = takeNumber(plain); seconds && plain.empty()) return seconds;

    std::int64_t total = 0;
    std::size_t nextUnit = 0;  // units before this one are used up or passed
    while (!text.empty()) {
        const auto count = takeNumber(text);
        if (!count || text.empty()) return std::nullopt;
        const char letter = text.front();
        text.remove_prefix(1);
        while (nextUnit < kUnits.size() && kUnits[nextUnit].letter != letter) ++nextUnit;
        if (nextUnit == kUnits.size()) return std::nullopt;  // unknown, repeated or out of order
        const auto sum = checkedAdd(total, *count, kUnits[nextUnit].seconds);
        if (!sum) return std::nullopt;
        total = *sum;
        ++nextUnit;
    }
    return total;
}

}  // namespace vigilo
