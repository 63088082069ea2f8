#include "ipc/ipc_dispatch.h"

#include <algorithm>
#include <set>

#include "activity/workstation_score.h"
#include "app/why/inhibitor_entry.h"
#include "support/utf8_text.h"

namespace vigilo {

namespace {

constexpr std::int64_t kDefaultTimerSeconds = 3600;

IPCResponse status(IPCApplication& app) {
    auto tasks = app.tasks();
    std::vector<std::string> names;
    for (const auto& task : tasks) names.push_back(task.name);
    IPCResponse reply{.ok = true,
                      .mode = app.modeLabel(),
                      .assertionActive = app.assertionActive(),
                      .clamshellActive = app.clamshellActive(),
                      .thermal = app.thermalLabel(),
                      .tasks = std::move(names),
                      .taskDetails = boundedTaskDetails(std::move(tasks)),
                      .patterns = app.watchPatterns(),
                      .keptAwakeByRule = app.keptAwakeByRule()};
    if (auto battery = app.battery()) {
        reply.batteryPercent = battery->percent;
        reply.isCharging = battery->isCharging;
    }
    return reply;
}

// The reply carries the list as stored: the settings trim the patterns and
// drop blank ones and repeats, or refuse a list over their limits.
IPCResponse storePatterns(std::vector<std::string> patterns, IPCApplication& app) {
    if (auto refusal = app.setWatchPatterns(std::move(patterns))) {
        return {.ok = false, .message = "bad request: " + *refusal};
    }
    return {.ok = true, .patterns = app.watchPatterns()};
}

IPCResponse watch(const IPCRequest& request, IPCApplication& app) {
    auto patterns = app.watchPatterns();
    for (const auto& wanted : request.patterns.value_or(std::vector<std::string>{})) {
        if (std::find(patterns.begin(), patterns.end(), wanted) == patterns.end()) patterns.push_back(wanted);
    }
    return storePatterns(std::move(patterns), app);
}

IPCResponse unwatch(const IPCRequest& request, IPCApplication& app) {
    const auto requested = request.patterns.value_or(std::vector<std::string>{});
    std::set<std::string> removed;
    for (const auto& pattern : requested) removed.emplace(trimmedWhitespace(pattern));
    std::vector<std::string> kept;
    for (auto& pattern : app.watchPatterns()) {
        if (!removed.contains(pattern)) kept.push_back(pattern);
    }
    return storePatterns(std::move(kept), app);
}

IPCResponse report(IPCApplication& app) {
    const WeeklyReport report = app.weeklyReport();
    const auto score = WorkstationScore::compute(report);
    return {.ok = true, .report = report, .score = score.value, .rating = std::string(ratingName(score.rating))};
}

IPCResponse showStatus(const IPCInstance& instance) {
    if (!instance.showStatus) return {.ok = false, .message = "no status window: Vigilo runs headless"};
    instance.showStatus();
    return {.ok = true};
}

}  // namespace

IPCResponse dispatchIPCRequest(const IPCRequest& request, IPCApplication& app, const IPCInstance& instance) {
    switch (request.cmd) {
    case IPCCommand::status: return status(app);
    case IPCCommand::start:
        app.startAlwaysOn();
        return {.ok = true, .message = "started", .mode = app.modeLabel(), .warning = app.keepAwakeWarning()};
    case IPCCommand::stop:
        app.stop();
        return {.ok = true, .message = "stopped", .mode = app.modeLabel()};
    case IPCCommand::autowatch: {
        const bool current = app.isAutoWatch();
        if (request.enable.value_or(!current) != current) app.toggleAutoWatch();
        return {.ok = true, .mode = app.modeLabel(), .warning = app.keepAwakeWarning()};
    }
    case IPCCommand::watch: return watch(request, app);
    case IPCCommand::unwatch: return unwatch(request, app);
    case IPCCommand::listPatterns: return {.ok = true, .patterns = app.watchPatterns()};
    case IPCCommand::timer:
        app.startTimer(static_cast<double>(std::max<std::int64_t>(request.seconds.value_or(kDefaultTimerSeconds), 1)));
        return {.ok = true, .mode = app.modeLabel(), .warning = app.keepAwakeWarning()};
    case IPCCommand::notify:
        app.notifyAndPush(request.title.value_or("Vigilo"), request.body.value_or(""));
        return {.ok = true};
    case IPCCommand::ping: return {.ok = true, .message = "pong"};
    case IPCCommand::report: return report(app);
    case IPCCommand::role: return {.ok = true, .role = instance.role};
    case IPCCommand::showStatus: return showStatus(instance);
    case IPCCommand::handOver:
        if (!instance.handOver) return {.ok = false, .message = "this Vigilo cannot hand over"};
        return {.ok = true, .resume = instance.handOver()};
    case IPCCommand::why:
        if (request.own.value_or(false) && instance.ownInhibitors) {
            return {.ok = true, .inhibitors = boundedInhibitors(instance.ownInhibitors())};
        }
        if (!instance.inhibitors) return {.ok = false, .message = "this Vigilo keeps no list of locks"};
        return {.ok = true, .inhibitors = boundedInhibitors(instance.inhibitors())};
    }
    return {.ok = false, .message = "unknown"};
}

}  // namespace vigilo
