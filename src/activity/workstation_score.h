#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "activity/weekly_report.h"

namespace vigilo {

// A week's figures as one number from 0 to 100 and a verdict. A plain value.
struct WorkstationScore {
    // `needsAttention` is never computed; it keeps its place in the order.
    enum class Rating { good, needsAttention, thermalRisk, batteryRisk };

    std::int64_t value = 100;
    Rating rating = Rating::good;

    bool operator==(const WorkstationScore&) const = default;

    // Thermal warnings cost 8 points and emergency sleeps 6; the rating is
    // the first risk that applies.
    static WorkstationScore compute(const WeeklyReport& report);
};

// The case name ("thermalRisk"), as the socket carries it.
std::string_view ratingName(WorkstationScore::Rating rating);
std::optional<WorkstationScore::Rating> ratingNamed(std::string_view name);
// The rating in words ("thermal risk"), translated.
std::string ratingWords(WorkstationScore::Rating rating);

}  // namespace vigilo
