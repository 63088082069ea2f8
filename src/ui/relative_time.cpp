#include "ui/relative_time.h"

#include <array>
#include <cstdint>
#include <vector>

#include "support/tr.h"

namespace vigilo {

namespace {

enum class Unit { year, month, week, day, hour, minute, second };

constexpr std::int64_t kMinute = 60, kHour = 60 * kMinute, kDay = 24 * kHour;

// Largest first: the first unit that fits at least once is the one shown.
constexpr std::array<std::pair<Unit, std::int64_t>, 7> kUnits{{
    {Unit::year, 365 * kDay},
    {Unit::month, 30 * kDay},
    {Unit::week, 7 * kDay},
    {Unit::day, kDay},
    {Unit::hour, kHour},
    {Unit::minute, kMinute},
    {Unit::second, 1},
}};

// Each text written out where it is translated, so the catalogue finds it;
// a count of one takes the named form where there is one ("yesterday").
std::string agoText(Unit unit, std::int64_t n) {
    switch (unit) {
    case Unit::year: return n == 1 ? tr("last year") : trPluralFormat("{} year ago", "{} years ago", n, n);
    case Unit::month: return n == 1 ? tr("last month") : trPluralFormat("{} month ago", "{} months ago", n, n);
    case Unit::week: return n == 1 ? tr("last week") : trPluralFormat("{} week ago", "{} weeks ago", n, n);
    case Unit::day: return n == 1 ? tr("yesterday") : trPluralFormat("{} day ago", "{} days ago", n, n);
    case Unit::hour: return trPluralFormat("{} hour ago", "{} hours ago", n, n);
    case Unit::minute: return trPluralFormat("{} minute ago", "{} minutes ago", n, n);
    case Unit::second: break;
    }
    return trPluralFormat("{} second ago", "{} seconds ago", n, n);
}

std::string aheadText(Unit unit, std::int64_t n) {
    switch (unit) {
    case Unit::year: return n == 1 ? tr("next year") : trPluralFormat("in {} year", "in {} years", n, n);
    case Unit::month: return n == 1 ? tr("next month") : trPluralFormat("in {} month", "in {} months", n, n);
    case Unit::week: return n == 1 ? tr("next week") : trPluralFormat("in {} week", "in {} weeks", n, n);
    case Unit::day: return n == 1 ? tr("tomorrow") : trPluralFormat("in {} day", "in {} days", n, n);
    case Unit::hour: return trPluralFormat("in {} hour", "in {} hours", n, n);
    case Unit::minute: return trPluralFormat("in {} minute", "in {} minutes", n, n);
    case Unit::second: break;
    }
    return trPluralFormat("in {} second", "in {} seconds", n, n);
}

std::string spelledNumber(std::int64_t n) {
    if (n < 20) {
        const std::vector<std::string> small{
            tr("zero"),    tr("one"),     tr("two"),       tr("three"),    tr("four"),
            tr("five"),    tr("six"),     tr("seven"),     tr("eight"),    tr("nine"),
            tr("ten"),     tr("eleven"),  tr("twelve"),    tr("thirteen"), tr("fourteen"),
            tr("fifteen"), tr("sixteen"), tr("seventeen"), tr("eighteen"), tr("nineteen")};
        return small[static_cast<std::size_t>(n)];
    }
    if (n < 100) {
        const std::vector<std::string> tens{"",          "",          tr("twenty"),  tr("thirty"), tr("forty"),
                                            tr("fifty"), tr("sixty"), tr("seventy"), tr("eighty"), tr("ninety")};
        std::string text = tens[static_cast<std::size_t>(n / 10)];
        // Appended a piece at a time: `"-" + spelledNumber(...)` makes GCC
        // 12 warn (-Wrestrict) about the copy it inlines at -O3.
        if (n % 10 != 0) {
            text += '-';
            text += spelledNumber(n % 10);
        }
        return text;
    }
    if (n < 1000) {
        std::string text = trFormat("{} hundred", spelledNumber(n / 100));
        if (n % 100 != 0) {
            text += ' ';
            text += spelledNumber(n % 100);
        }
        return text;
    }
    return std::to_string(n);
}

std::string spelledAmount(Unit unit, std::int64_t count) {
    const bool one = count == 1;
    const std::string n = one ? std::string() : spelledNumber(count);
    switch (unit) {
    case Unit::year: return one ? tr("one year") : trPluralFormat("{} year", "{} years", count, n);
    case Unit::month: return one ? tr("one month") : trPluralFormat("{} month", "{} months", count, n);
    case Unit::week: return one ? tr("one week") : trPluralFormat("{} week", "{} weeks", count, n);
    case Unit::day: return one ? tr("one day") : trPluralFormat("{} day", "{} days", count, n);
    case Unit::hour: return one ? tr("one hour") : trPluralFormat("{} hour", "{} hours", count, n);
    case Unit::minute: return one ? tr("one minute") : trPluralFormat("{} minute", "{} minutes", count, n);
    case Unit::second: break;
    }
    return one ? tr("one second") : trPluralFormat("{} second", "{} seconds", count, n);
}

std::string styled(RelativeTimeStyle style, Unit unit, std::int64_t count, bool ahead) {
    if (style == RelativeTimeStyle::numeric) return ahead ? aheadText(unit, count) : agoText(unit, count);
    return ahead ? trFormat("in {}", spelledAmount(unit, count)) : trFormat("{} ago", spelledAmount(unit, count));
}

}  // namespace

std::string relativeTimeText(WallTime then, WallTime now, RelativeTimeStyle style) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - then).count();
    const std::int64_t magnitude = seconds >= 0 ? seconds : -seconds;
    for (const auto& [unit, length] : kUnits) {
        const std::int64_t count = magnitude / length;
        if (count == 0) continue;
        return styled(style, unit, count, seconds < 0);
    }
    return tr("now");
}

}  // namespace vigilo
