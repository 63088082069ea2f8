#include "ui/spelled_relative_time.h"

#include <array>
#include <chrono>
#include <vector>

#include "support/tr.h"

namespace vigilo {

namespace {

std::string spelledNumber(long long n) {
    if (n < 20) {
        const std::vector<std::string> small{
            tr("zero"),     tr("one"),     tr("two"),      tr("three"),     tr("four"),
            tr("five"),     tr("six"),     tr("seven"),    tr("eight"),     tr("nine"),
            tr("ten"),      tr("eleven"),  tr("twelve"),   tr("thirteen"),  tr("fourteen"),
            tr("fifteen"),  tr("sixteen"), tr("seventeen"), tr("eighteen"), tr("nineteen")};
        return small[static_cast<std::size_t>(n)];
    }
    if (n < 100) {
        const std::vector<std::string> tens{"",         "",         tr("twenty"),  tr("thirty"), tr("forty"),
                                            tr("fifty"), tr("sixty"), tr("seventy"), tr("eighty"), tr("ninety")};
        std::string text = tens[static_cast<std::size_t>(n / 10)];
        if (n % 10 != 0) text += "-" + spelledNumber(n % 10);
        return text;
    }
    if (n < 1000) {
        std::string text = trFormat("{} hundred", spelledNumber(n / 100));
        if (n % 100 != 0) text += " " + spelledNumber(n % 100);
        return text;
    }
    return std::to_string(n);
}

enum class Unit { year, month, week, day, hour, minute, second };

// Largest first; a month counts 30 days and a year 365.
constexpr std::array<std::pair<Unit, long long>, 7> kUnits{{
    {Unit::year, 365LL * 86400},
    {Unit::month, 30LL * 86400},
    {Unit::week, 7LL * 86400},
    {Unit::day, 86400},
    {Unit::hour, 3600},
    {Unit::minute, 60},
    {Unit::second, 1},
}};

std::string amount(Unit unit, long long count) {
    const bool one = count == 1;
    const std::string n = one ? std::string() : spelledNumber(count);
    switch (unit) {
    case Unit::year: return one ? tr("one year") : trFormat("{} years", n);
    case Unit::month: return one ? tr("one month") : trFormat("{} months", n);
    case Unit::week: return one ? tr("one week") : trFormat("{} weeks", n);
    case Unit::day: return one ? tr("one day") : trFormat("{} days", n);
    case Unit::hour: return one ? tr("one hour") : trFormat("{} hours", n);
    case Unit::minute: return one ? tr("one minute") : trFormat("{} minutes", n);
    case Unit::second: return one ? tr("one second") : trFormat("{} seconds", n);
    }
    return n;
}

}  // namespace

std::string spelledOutRelativeTime(WallTime then, WallTime now) {
    const long long seconds = std::chrono::duration_cast<std::chrono::seconds>(now - then).count();
    const long long magnitude = seconds < 0 ? -seconds : seconds;
    for (const auto& [unit, length] : kUnits) {
        const long long count = magnitude / length;
        if (count == 0) continue;
        return seconds < 0 ? trFormat("in {}", amount(unit, count)) : trFormat("{} ago", amount(unit, count));
    }
    return tr("now");
}

}  // namespace vigilo
