#include "ui/chart_texts.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <optional>

#include "support/tr.h"

namespace vigilo {

namespace {

std::string hoursAndMinutes(Duration length) {
    const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(length).count();
    return trFormat("{} h {:02} min", minutes / 60, minutes % 60);
}

}  // namespace

std::string awakeBandText(const std::vector<AwakeSpan>& spans) {
    if (spans.empty()) return tr("Not kept awake in the last 24 hours.");
    std::array<Duration, 5> byReason{};
    for (const auto& span : spans) byReason[static_cast<std::size_t>(span.reason)] += span.to - span.from;
    // Reasons overlap (closed-lid mode under a timer): the total counts each moment once.
    std::vector<AwakeSpan> ordered = spans;
    std::sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) { return a.from < b.from; });
    Duration total{};
    std::optional<WallTime> coveredTo;
    for (const auto& span : ordered) {
        const WallTime from = coveredTo ? std::max(span.from, *coveredTo) : span.from;
        if (span.to > from) total += span.to - from;
        coveredTo = coveredTo ? std::max(*coveredTo, span.to) : span.to;
    }
    std::string text = trFormat("Kept awake {} in the last 24 hours:", hoursAndMinutes(total));
    const char* separator = " ";
    for (std::size_t i = 0; i < byReason.size(); ++i) {
        if (byReason[i] == Duration{}) continue;
        text += separator + awakeReasonLabel(static_cast<AwakeReason>(i)) + " " + hoursAndMinutes(byReason[i]);
        separator = ", ";
    }
    return text + ".";
}

std::string readingsText(const char* what, const char* unit, const std::vector<ReadingRun>& runs) {
    if (runs.empty()) return trFormat("{} over the last hour: not measured.", tr(what));
    double low = runs.front().front().value;
    double high = low;
    for (const auto& run : runs) {
        for (const auto& point : run) {
            low = std::min(low, point.value);
            high = std::max(high, point.value);
        }
    }
    return trFormat("{} over the last hour: {:.0f} to {:.0f} {}, now {:.0f} {}.", tr(what), low, high, unit,
                    runs.back().back().value, unit);
}

std::string weekBarsText(const std::vector<std::pair<std::string, double>>& hoursByDay) {
    std::string text;
    for (const auto& [day, hours] : hoursByDay) {
        if (!text.empty()) text += ", ";
        text += trFormat("{} {:.1f} h", day, hours);
    }
    return text;
}

}  // namespace vigilo
