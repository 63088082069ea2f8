#include "ui/spelled_relative_time.h"

#include <array>
#include <chrono>

#include "support/tr.h"

namespace vigilo {

namespace {

std::string spelledNumber(long long n) {
    static constexpr std::array<const char*, 20> small{
        "zero",    "one",     "two",       "three",    "four",     "five",    "six",
        "seven",   "eight",   "nine",      "ten",      "eleven",   "twelve",  "thirteen",
        "fourteen", "fifteen", "sixteen",  "seventeen", "eighteen", "nineteen"};
    static constexpr std::array<const char*, 10> tens{"",      "",      "twenty",  "thirty", "forty",
                                                      "fifty", "sixty", "seventy", "eighty", "ninety"};
    if (n < 20) return tr(small[static_cast<std::size_t>(n)]);
    if (n < 100) {
        std::string text = tr(tens[static_cast<std::size_t>(n / 10)]);
        if (n % 10 != 0) text += std::string("-") + tr(small[static_cast<std::size_t>(n % 10)]);
        return text;
    }
    if (n < 1000) {
        std::string text = trFormat("{} hundred", spelledNumber(n / 100));
        if (n % 100 != 0) text += " " + spelledNumber(n % 100);
        return text;
    }
    return std::to_string(n);
}

struct Unit {
    long long seconds;
    const char* one;
    const char* many;
};

// Largest first; a month counts 30 days and a year 365.
constexpr std::array<Unit, 7> kUnits{{
    {365LL * 86400, "one year", "{} years"},
    {30LL * 86400, "one month", "{} months"},
    {7LL * 86400, "one week", "{} weeks"},
    {86400, "one day", "{} days"},
    {3600, "one hour", "{} hours"},
    {60, "one minute", "{} minutes"},
    {1, "one second", "{} seconds"},
}};

}  // namespace

std::string spelledOutRelativeTime(WallTime then, WallTime now) {
    const long long seconds = std::chrono::duration_cast<std::chrono::seconds>(now - then).count();
    const long long magnitude = seconds < 0 ? -seconds : seconds;
    for (const Unit& unit : kUnits) {
        const long long count = magnitude / unit.seconds;
        if (count == 0) continue;
        const std::string amount = count == 1 ? std::string(tr(unit.one)) : trFormat(unit.many, spelledNumber(count));
        return seconds < 0 ? trFormat("in {}", amount) : trFormat("{} ago", amount);
    }
    return tr("now");
}

}  // namespace vigilo
