#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "activity/weekly_report.h"
#include "app/why/inhibitor_entry.h"
#include "ipc/hand_over_state.h"
#include "ipc/ipc_command.h"

namespace vigilo {

// One request from the command line to the running application.
struct IPCRequest {
    IPCCommand cmd = IPCCommand::status;
    std::optional<bool> enable;
    std::optional<std::vector<std::string>> patterns;
    std::optional<std::int64_t> seconds;
    std::optional<std::string> title;
    std::optional<std::string> body;
    // why: only the application's own rows, without reading the services
    // (the command line reads those itself).
    std::optional<bool> own;

    bool operator==(const IPCRequest&) const = default;
};

// One workload Auto Mode matches, in the status reply beside its name in
// `tasks`, so that tasks of one name can be told apart.
struct TaskDetail {
    std::string name;
    std::int64_t pid = 0;
    std::string command;           // its command line; empty when it cannot be read
    bool busy = true;              // "active" on the wire too
    std::int64_t idleSeconds = 0;  // since it was last busy; 0 while busy
    std::optional<double> cpuPercent;  // percent of one core; absent without CPU detection
    std::optional<double> gpuPercent;  // the busiest GPU engine; absent when not measured
    std::string gpuSource;             // "process" or "device" with a gpuPercent, else empty

    bool operator==(const TaskDetail&) const = default;
};

// A status reply's details stay a small part of the 64 KiB a reply may
// take beside the watch list: each command at most kMaxTaskCommandBytes
// (cut at a character), and details past kMaxTaskDetailsBytes left out, so
// `taskDetails` may be shorter than `tasks`.
inline constexpr std::size_t kMaxTaskCommandBytes = 256;
inline constexpr std::size_t kMaxTaskDetailsBytes = 16 * 1024;
std::vector<TaskDetail> boundedTaskDetails(std::vector<TaskDetail> details);

// The application's one reply.
struct IPCResponse {
    bool ok = false;
    std::optional<std::string> message;
    std::optional<std::string> mode;
    std::optional<bool> assertionActive;
    std::optional<bool> clamshellActive;
    std::optional<std::int64_t> batteryPercent;
    std::optional<bool> isCharging;
    std::optional<std::string> thermal;
    std::optional<std::vector<std::string>> tasks;
    // The same workloads with their pid and command line (added after the
    // first release: an older application leaves it out).
    std::optional<std::vector<TaskDetail>> taskDetails;
    std::optional<std::vector<std::string>> patterns;
    // The status's rule whose keepAwakeWhileHeld action keeps the computer
    // awake now; left out while none does (and by older applications).
    std::optional<std::string> keptAwakeByRule;
    // Why a command that keeps the computer awake could not (start, timer,
    // autowatch); the command itself succeeded.
    std::optional<std::string> warning;
    // The weekly report with its score and rating (the rating's case name).
    std::optional<WeeklyReport> report;
    std::optional<std::int64_t> score;
    std::optional<std::string> rating;
    // Which way the running instance was started: "tray" or "headless".
    std::optional<std::string> role;
    // The handOver reply's state for the launch taking over to resume.
    std::optional<HandOverState> resume;
    // The why reply: every lock that keeps the computer awake, Vigilo's own
    // included, from the application's live list.
    std::optional<std::vector<InhibitorEntry>> inhibitors;

    bool operator==(const IPCResponse&) const = default;
};

// A decoded record, or the decoder's description of why it is not one.
template <class T>
using Decoded = std::variant<T, std::string>;

// Compact JSON, keys in declaration order, absent fields left out, "/"
// escaped. No trailing newline.
std::string encodeRequest(const IPCRequest& request);
std::string encodeResponse(const IPCResponse& response);

// Strict decoding: unknown keys are ignored and null counts as absent, but a
// wrong type, a missing required key or an unknown command rejects the whole
// record. Leading and trailing white space (the framing newline) is allowed.
Decoded<IPCRequest> decodeRequest(std::string_view text);
Decoded<IPCResponse> decodeResponse(std::string_view text);

}  // namespace vigilo
