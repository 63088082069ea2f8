#include "ui/awake_band.h"

#include <algorithm>
#include <array>
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
    const WallTime start = now - kAwakeBandLength;
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
