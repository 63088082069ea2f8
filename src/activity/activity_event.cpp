#include "activity/activity_event.h"

#include <array>
#include <cctype>
#include <charconv>
#include <chrono>
#include <mutex>
#include <random>

#include <fmt/format.h>

#include "support/json_wire.h"
#include "support/tr.h"

namespace vigilo {

using nlohmann::json;

namespace {

bool readNumber(std::string_view text, std::size_t at, std::size_t width, int& out) {
    if (at + width > text.size()) return false;
    for (std::size_t i = at; i < at + width; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return std::from_chars(text.data() + at, text.data() + at + width, out).ec == std::errc{};
}

bool expect(std::string_view text, std::size_t at, char c) { return at < text.size() && text[at] == c; }

}  // namespace

std::string fillTitleFormat(std::string_view format, std::int64_t value, std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            const char next = format[i + 1];
            if (next == 'd') {
                out += std::to_string(value);
                ++i;
                continue;
            }
            if (next == '@') {
                out += text;
                ++i;
                continue;
            }
            if (next == '%') {
                out += '%';
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

std::string ActivityEvent::localizedTitle() const {
    return fillTitleFormat(tr(activityTitleFormat(kind)), value.value_or(0), text.value_or(""));
}

std::string formatIso8601(WallTime time) {
    const auto seconds = std::chrono::floor<std::chrono::seconds>(time);
    const auto days = std::chrono::floor<std::chrono::days>(seconds);
    const std::chrono::year_month_day date{days};
    const std::chrono::hh_mm_ss clock{seconds - days};
    return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}Z", static_cast<int>(date.year()),
                       static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), clock.hours().count(),
                       clock.minutes().count(), clock.seconds().count());
}

std::optional<WallTime> parseIso8601(std::string_view text) {
    int year, month, day, hour, minute, second;
    if (!readNumber(text, 0, 4, year) || !expect(text, 4, '-') || !readNumber(text, 5, 2, month) ||
        !expect(text, 7, '-') || !readNumber(text, 8, 2, day) || !expect(text, 10, 'T') ||
        !readNumber(text, 11, 2, hour) || !expect(text, 13, ':') || !readNumber(text, 14, 2, minute) ||
        !expect(text, 16, ':') || !readNumber(text, 17, 2, second)) {
        return std::nullopt;
    }
    std::size_t at = 19;
    if (expect(text, at, '.')) {
        ++at;
        const std::size_t digits = at;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
        if (at == digits) return std::nullopt;
    }
    int offsetMinutes = 0;
    if (expect(text, at, 'Z') && at + 1 == text.size()) {
        // UTC
    } else if ((expect(text, at, '+') || expect(text, at, '-')) && at + 6 == text.size()) {
        int offsetHours, offsetMins;
        if (!readNumber(text, at + 1, 2, offsetHours) || !expect(text, at + 3, ':') ||
            !readNumber(text, at + 4, 2, offsetMins) || offsetHours > 23 || offsetMins > 59) {
            return std::nullopt;
        }
        offsetMinutes = (offsetHours * 60 + offsetMins) * (text[at] == '-' ? -1 : 1);
    } else {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                                           std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok() || hour > 23 || minute > 59 || second > 60) return std::nullopt;
    const auto local = std::chrono::sys_days{date} + std::chrono::hours{hour} + std::chrono::minutes{minute} +
                       std::chrono::seconds{second};
    const auto sinceEpoch = (local - std::chrono::minutes{offsetMinutes}).time_since_epoch();
    // WallTime counts nanoseconds in 64 bits: years before 1678 or after 2261
    // would overflow it.
    constexpr auto limit = std::chrono::duration_cast<std::chrono::seconds>(WallTime::duration::max());
    if (sinceEpoch >= limit || sinceEpoch <= -limit) return std::nullopt;
    return WallTime{std::chrono::duration_cast<WallTime::duration>(sinceEpoch)};
}

std::string makeUuid() {
    static std::mutex mutex;
    static std::mt19937_64 engine{std::random_device{}()};
    std::array<unsigned char, 16> bytes;
    {
        std::lock_guard lock(mutex);
        for (std::size_t i = 0; i < bytes.size(); i += 8) {
            const auto word = engine();
            for (std::size_t j = 0; j < 8; ++j) bytes[i + j] = static_cast<unsigned char>(word >> (8 * j));
        }
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        out += fmt::format("{:02X}", bytes[i]);
    }
    return out;
}

std::optional<std::string> canonicalUuid(std::string_view text) {
    if (text.size() != 36) return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-') return std::nullopt;
        } else if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

json activityEventToJson(const ActivityEvent& event) {
    json object = {{"id", event.id}, {"at", formatIso8601(event.at)}, {"kind", activityKindName(event.kind)}};
    if (event.value) object["value"] = *event.value;
    if (event.text) object["text"] = *event.text;
    return object;
}

ActivityEvent activityEventFromJson(const json& object) {
    if (!object.is_object()) throw ActivityDecodeError("an entry is " + jsonTypeName(object) + ", not an object");
    try {
        const auto id = optionalString(object, "id");
        const auto at = optionalString(object, "at");
        const auto kind = optionalString(object, "kind");
        if (!id || !at || !kind) throw ActivityDecodeError("an entry lacks \"id\", \"at\" or \"kind\"");
        ActivityEvent event;
        auto uuid = canonicalUuid(*id);
        if (!uuid) throw ActivityDecodeError("\"" + *id + "\" is not a UUID");
        event.id = std::move(*uuid);
        auto when = parseIso8601(*at);
        if (!when) throw ActivityDecodeError("\"" + *at + "\" is not an ISO 8601 date");
        event.at = *when;
        auto known = activityKindFromName(*kind);
        if (!known) throw ActivityDecodeError("unknown kind \"" + *kind + "\"");
        event.kind = *known;
        event.value = optionalInt64(object, "value");
        event.text = optionalString(object, "text");
        return event;
    } catch (const JsonTypeError& error) {
        throw ActivityDecodeError(error.what());
    }
}

}  // namespace vigilo
