// `vigilo report [--json]`: the running application's weekly report.
#include <fmt/format.h>

#include "activity/workstation_score.h"
#include "cli/cli_runner.h"
#include "ipc/ipc_client.h"
#include "support/tr.h"

namespace vigilo {

namespace {

// Labels and values line up after the longest label, "Closed-lid sessions:".
constexpr int kLabelWidth = 21;

void printRow(std::ostream& out, const char* label, const std::string& value) {
    out << fmt::format("{:<{}}", std::string(tr(label)) + ":", kLabelWidth) << value << '\n';
}

std::string hoursText(double hours) { return trFormat("{:.1f} h", hours); }

std::string ratingText(const std::string& name) {
    if (auto rating = ratingNamed(name)) return ratingWords(*rating);
    return name;  // a newer application's rating: its name still says it
}

void printText(std::ostream& out, const WeeklyReport& report, std::int64_t score, const std::string& rating) {
    out << tr("Weekly report (last 7 days)") << '\n';
    printRow(out, "Kept awake", hoursText(report.runtimeHours));
    printRow(out, "Protected sessions", std::to_string(report.protectedSessions));
    printRow(out, "Closed-lid sessions", std::to_string(report.lidClosedSessions));
    printRow(out, "Low-battery saves", std::to_string(report.lowBatterySaves));
    printRow(out, "Thermal warnings", std::to_string(report.thermalWarnings));
    printRow(out, "Emergency sleeps", std::to_string(report.emergencySleeps));
    printRow(out, "Longest session", hoursText(report.longestSessionHours));
    printRow(out, "Workstation score", fmt::format("{}/100 ({})", score, ratingText(rating)));
}

void printJson(std::ostream& out, const WeeklyReport& report, std::int64_t score, const std::string& rating) {
    auto object = weeklyReportToJson(report);
    object["score"] = score;
    object["rating"] = rating;
    out << object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

}  // namespace

int CLIRunner::runReport(const IPCRequest& request, bool asJson) {
    auto reply = exchange(request);
    if (!reply) return kFailure;
    if (!reply->report || !reply->score || !reply->rating) {
        services_.err << ClientError::decode("the reply carries no report").description() << '\n';
        return kFailure;
    }
    if (asJson) {
        printJson(services_.out, *reply->report, *reply->score, *reply->rating);
    } else {
        printText(services_.out, *reply->report, *reply->score, *reply->rating);
    }
    return kSuccess;
}

}  // namespace vigilo
