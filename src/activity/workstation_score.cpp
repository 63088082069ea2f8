#include "activity/workstation_score.h"

#include <algorithm>
#include <array>

#include "support/tr.h"

namespace vigilo {

namespace {

using Rating = WorkstationScore::Rating;

struct RatingTexts {
    Rating rating;
    std::string_view name;
    const char* words;
};

constexpr std::array<RatingTexts, 4> kRatings{{
    {Rating::good, "good", "good"},
    {Rating::needsAttention, "needsAttention", "needs attention"},
    {Rating::thermalRisk, "thermalRisk", "thermal risk"},
    {Rating::batteryRisk, "batteryRisk", "battery risk"},
}};

const RatingTexts& textsOf(Rating rating) {
    for (const auto& texts : kRatings) {
        if (texts.rating == rating) return texts;
    }
    return kRatings.front();
}

}  // namespace

WorkstationScore WorkstationScore::compute(const WeeklyReport& report) {
    WorkstationScore score;
    score.value = std::clamp<std::int64_t>(100 - 8 * report.thermalWarnings - 6 * report.emergencySleeps, 0, 100);
    if (report.thermalWarnings > 2) {
        score.rating = Rating::thermalRisk;
    } else if (report.emergencySleeps >= 2) {
        score.rating = Rating::batteryRisk;
    }
    return score;
}

std::string_view ratingName(Rating rating) { return textsOf(rating).name; }

std::optional<Rating> ratingNamed(std::string_view name) {
    for (const auto& texts : kRatings) {
        if (texts.name == name) return texts.rating;
    }
    return std::nullopt;
}

std::string ratingWords(Rating rating) { return tr(textsOf(rating).words); }

}  // namespace vigilo
