#include "ipc/ipc_messages.h"

#include <nlohmann/json.hpp>

#include "support/json_wire.h"
#include "support/utf8_text.h"

namespace vigilo {

using nlohmann::ordered_json;
using nlohmann::json;

namespace {

template <class T>
void put(ordered_json& out, const char* key, const std::optional<T>& value) {
    if (value) out[key] = *value;
}

// Error descriptions quote the request, and go back to the client in the
// reply: bounded, so that the reply to a request of any size stays far below
// the 64 KiB the client reads.
constexpr std::size_t kMaxQuotingBytes = 256;

std::string bounded(std::string description) {
    if (description.size() <= kMaxQuotingBytes) return description;
    description.resize(kMaxQuotingBytes);
    description.resize(kMaxQuotingBytes - incompleteUtf8Suffix(description));
    return description + "...";
}

// Parses one JSON object; the error text says what is wrong otherwise.
Decoded<json> parseObject(std::string_view text) {
    json value;
    try {
        value = json::parse(text.begin(), text.end());
    } catch (const json::exception& e) {
        return bounded(e.what());
    }
    if (!value.is_object()) return "expected a JSON object, found " + jsonTypeName(value);
    return value;
}

ordered_json optionalNumber(const std::optional<double>& value) { return value ? ordered_json(*value) : nullptr; }

ordered_json taskDetailJson(const TaskDetail& task) {
    return {{"name", task.name},
            {"pid", task.pid},
            {"command", task.command},
            {"busy", task.busy},
            {"idleSeconds", task.idleSeconds},
            {"cpuPercent", optionalNumber(task.cpuPercent)},
            {"gpuPercent", optionalNumber(task.gpuPercent)},
            {"gpuSource", task.gpuSource.empty() ? ordered_json(nullptr) : ordered_json(task.gpuSource)},
            {"active", task.busy}};
}

ordered_json taskDetailsJson(const std::vector<TaskDetail>& details) {
    ordered_json out = ordered_json::array();
    for (const auto& task : details) out.push_back(taskDetailJson(task));
    return out;
}

// Name and pid are required; a newer application's extra keys are ignored.
std::optional<std::vector<TaskDetail>> optionalTaskDetails(const json& object, const char* key) {
    auto found = object.find(key);
    if (found == object.end() || found->is_null()) return std::nullopt;
    if (!found->is_array()) throw JsonTypeError(std::string("key '") + key + "' must be an array of objects");
    std::vector<TaskDetail> details;
    for (const auto& element : *found) {
        if (!element.is_object()) throw JsonTypeError(std::string("key '") + key + "' must be an array of objects");
        details.push_back({.name = requiredValue(optionalString(element, "name"), "name"),
                           .pid = requiredValue(optionalInt64(element, "pid"), "pid"),
                           .command = optionalString(element, "command").value_or(""),
                           .busy = optionalBool(element, "active")
                                       .value_or(optionalBool(element, "busy").value_or(true)),
                           .idleSeconds = optionalInt64(element, "idleSeconds").value_or(0),
                           .cpuPercent = optionalDouble(element, "cpuPercent"),
                           .gpuPercent = optionalDouble(element, "gpuPercent"),
                           .gpuSource = optionalString(element, "gpuSource").value_or("")});
    }
    return details;
}

std::string cutAtCharacter(std::string text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    text.resize(maxBytes);
    text.resize(maxBytes - incompleteUtf8Suffix(text));
    return text;
}

}  // namespace

std::vector<TaskDetail> boundedTaskDetails(std::vector<TaskDetail> details) {
    std::size_t used = 0;
    std::size_t kept = 0;
    for (auto& task : details) {
        task.name = cutAtCharacter(std::move(task.name), kMaxTaskCommandBytes);
        task.command = cutAtCharacter(std::move(task.command), kMaxTaskCommandBytes);
        used += toWireJson(taskDetailJson(task)).size() + 1;  // and its comma
        if (used > kMaxTaskDetailsBytes) break;
        ++kept;
    }
    details.resize(kept);
    return details;
}

std::string encodeRequest(const IPCRequest& request) {
    ordered_json out;
    out["cmd"] = std::string(ipcCommandName(request.cmd));
    put(out, "enable", request.enable);
    put(out, "patterns", request.patterns);
    put(out, "seconds", request.seconds);
    put(out, "title", request.title);
    put(out, "body", request.body);
    put(out, "own", request.own);
    return toWireJson(out);
}

std::string encodeResponse(const IPCResponse& response) {
    ordered_json out;
    out["ok"] = response.ok;
    put(out, "message", response.message);
    put(out, "mode", response.mode);
    put(out, "assertionActive", response.assertionActive);
    put(out, "clamshellActive", response.clamshellActive);
    put(out, "batteryPercent", response.batteryPercent);
    put(out, "isCharging", response.isCharging);
    put(out, "thermal", response.thermal);
    put(out, "tasks", response.tasks);
    if (response.taskDetails) out["taskDetails"] = taskDetailsJson(*response.taskDetails);
    put(out, "patterns", response.patterns);
    put(out, "keptAwakeByRule", response.keptAwakeByRule);
    put(out, "warning", response.warning);
    if (response.report) out["report"] = weeklyReportToJson(*response.report);
    put(out, "score", response.score);
    put(out, "rating", response.rating);
    put(out, "role", response.role);
    if (response.resume) out["resume"] = handOverToJson(*response.resume);
    if (response.inhibitors) out["inhibitors"] = inhibitorsToJson(*response.inhibitors);
    return toWireJson(out);
}

Decoded<IPCRequest> decodeRequest(std::string_view text) {
    auto parsed = parseObject(text);
    if (auto* error = std::get_if<std::string>(&parsed)) return *error;
    const json& object = std::get<json>(parsed);
    try {
        auto name = optionalString(object, "cmd");
        if (!name) return std::string("key 'cmd' is missing");
        auto command = ipcCommandNamed(*name);
        if (!command) return bounded("unknown command '" + *name + "'");
        IPCRequest request;
        request.cmd = *command;
        request.enable = optionalBool(object, "enable");
        request.patterns = optionalStringArray(object, "patterns");
        request.seconds = optionalInt64(object, "seconds");
        request.title = optionalString(object, "title");
        request.body = optionalString(object, "body");
        request.own = optionalBool(object, "own");
        return request;
    } catch (const JsonTypeError& e) {
        return std::string(e.what());
    }
}

Decoded<IPCResponse> decodeResponse(std::string_view text) {
    auto parsed = parseObject(text);
    if (auto* error = std::get_if<std::string>(&parsed)) return *error;
    const json& object = std::get<json>(parsed);
    try {
        auto ok = optionalBool(object, "ok");
        if (!ok) return std::string("key 'ok' is missing");
        IPCResponse response;
        response.ok = *ok;
        response.message = optionalString(object, "message");
        response.mode = optionalString(object, "mode");
        response.assertionActive = optionalBool(object, "assertionActive");
        response.clamshellActive = optionalBool(object, "clamshellActive");
        response.batteryPercent = optionalInt64(object, "batteryPercent");
        response.isCharging = optionalBool(object, "isCharging");
        response.thermal = optionalString(object, "thermal");
        response.tasks = optionalStringArray(object, "tasks");
        response.taskDetails = optionalTaskDetails(object, "taskDetails");
        response.patterns = optionalStringArray(object, "patterns");
        response.keptAwakeByRule = optionalString(object, "keptAwakeByRule");
        response.warning = optionalString(object, "warning");
        if (auto report = object.find("report"); report != object.end() && !report->is_null()) {
            response.report = weeklyReportFromJson(*report);
        }
        response.score = optionalInt64(object, "score");
        response.rating = optionalString(object, "rating");
        response.role = optionalString(object, "role");
        if (auto resume = object.find("resume"); resume != object.end() && !resume->is_null()) {
            response.resume = handOverFromJson(*resume);
        }
        if (auto inhibitors = object.find("inhibitors"); inhibitors != object.end() && !inhibitors->is_null()) {
            response.inhibitors = inhibitorsFromJson(*inhibitors);
        }
        return response;
    } catch (const JsonTypeError& e) {
        return std::string(e.what());
    }
}

}  // namespace vigilo
