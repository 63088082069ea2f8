#include "ui/awake_band.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <optional>

#include "support/tr.h"

namespace vigilo {

namespace {

// The mode's label as recorded, in English or in the language of the time.
bool labelled(const std::optional<std::string>& text, const char* english) {
    return text && (*text == english || *text == tr(english));
}

AwakeReason modeReason(const std::optional<std::string>& label) {
    if (labelled(label, "Auto Mode")) return AwakeReason::autoMode;
    if (labelled(label, "Timer Active")) return AwakeReason::timer;
    return AwakeReason::manual;
}

// One track per kind of keeping awake: the mode, closed-lid mode, a rule.
struct Track {
    std::optional<WallTime> since;
    AwakeReason reason = AwakeReason::manual;
};

}  // namespace

std::vector<AwakeSpan> awakeBand(const std::vector<ActivityEvent>& events, WallTime now) {
    return awakeSpans(events, now - kAwakeBandLength, now);
}

std::vector<AwakeSpan> awakeSpans(const std::vector<ActivityEvent>& events, WallTime start, WallTime now) {
    std::vector<const ActivityEvent*> ordered;
    for (const auto& event : events) {
        if (event.at <= now) ordered.push_back(&event);
    }
    // A launch comes before what the new run did in the same second.
    std::stable_sort(ordered.begin(), ordered.end(), [](auto* a, auto* b) {
        if (a->at != b->at) return a->at < b->at;
        return a->kind == ActivityKind::launched && b->kind != ActivityKind::launched;
    });

    std::vector<AwakeSpan> spans;
    std::array<Track, 3> tracks{};  // mode, closed lid, rule
    const auto close = [&](Track& track, WallTime at) {
        if (!track.since) return;
        const WallTime from = std::max(*track.since, start);
        if (at > from) spans.push_back({from, at, track.reason});
        track.since.reset();
    };
    const auto open = [&](Track& track, WallTime at, AwakeReason reason) {
        close(track, at);  // a start without its stop: the earlier one ends here
        track.since = at;
        track.reason = reason;
    };
    for (const ActivityEvent* event : ordered) {
        switch (event->kind) {
        case ActivityKind::keepAwakeStarted: open(tracks[0], event->at, modeReason(event->text)); break;
        case ActivityKind::keepAwakeStopped:
        case ActivityKind::autoStopped:
        case ActivityKind::timerFinished: close(tracks[0], event->at); break;
        case ActivityKind::clamshellOn: open(tracks[1], event->at, AwakeReason::closedLid); break;
        case ActivityKind::clamshellOff: close(tracks[1], event->at); break;
        case ActivityKind::ruleHoldStarted: open(tracks[2], event->at, AwakeReason::rule); break;
        case ActivityKind::ruleHoldEnded: close(tracks[2], event->at); break;
        case ActivityKind::launched:
            for (auto& track : tracks) close(track, event->at);
            break;
        default: break;
        }
    }
    for (auto& track : tracks) close(track, now);
    std::sort(spans.begin(), spans.end(), [](const AwakeSpan& a, const AwakeSpan& b) {
        return a.from != b.from ? a.from < b.from : a.reason < b.reason;
    });
    return spans;
}

std::vector<DayHours> hoursAwakeByDay(const std::vector<ActivityEvent>& events, WallTime now) {
    static constexpr std::array<const char*, 7> kDays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    // Local midnights, by the calendar, so a day of a clock change is that day.
    const std::time_t today = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    ::localtime_r(&today, &local);
    std::array<WallTime, 8> bounds{};
    std::array<int, 7> weekdays{};
    for (int i = 0; i < 7; ++i) {
        std::tm day = local;
        day.tm_mday -= 6 - i;
        day.tm_hour = day.tm_min = day.tm_sec = 0;
        day.tm_isdst = -1;
        bounds[static_cast<std::size_t>(i)] = std::chrono::system_clock::from_time_t(std::mktime(&day));
        weekdays[static_cast<std::size_t>(i)] = day.tm_wday;
    }
    bounds[7] = now;

    auto spans = awakeSpans(events, bounds[0], now);
    std::sort(spans.begin(), spans.end(), [](const auto& a, const auto& b) { return a.from < b.from; });
    std::vector<std::pair<WallTime, WallTime>> merged;
    for (const auto& span : spans) {
        if (!merged.empty() && span.from <= merged.back().second) {
            merged.back().second = std::max(merged.back().second, span.to);
        } else {
            merged.emplace_back(span.from, span.to);
        }
    }
    std::vector<DayHours> days;
    for (std::size_t i = 0; i < 7; ++i) {
        Duration awake{};
        for (const auto& [from, to] : merged) {
            const auto overlap = std::min(to, bounds[i + 1]) - std::max(from, bounds[i]);
            if (overlap > Duration{}) awake += std::chrono::duration_cast<Duration>(overlap);
        }
        days.push_back({tr(kDays[static_cast<std::size_t>(weekdays[i])]),
                        std::chrono::duration<double, std::ratio<3600>>(awake).count()});
    }
    return days;
}

std::string awakeReasonLabel(AwakeReason reason) {
    switch (reason) {
    case AwakeReason::autoMode: return tr("Auto Mode");
    case AwakeReason::timer: return tr("Timer");
    case AwakeReason::manual: return tr("Manual");
    case AwakeReason::rule: return tr("Rule");
    case AwakeReason::closedLid: return tr("Closed-lid");
    }
    return {};
}

}  // namespace vigilo
