#include "cli/request_builder.h"

#include "cli/timer_duration.h"
#include "support/clock.h"
#include "support/tr.h"

namespace vigilo {

namespace {

BuiltRequest plain(IPCRequest request) { return DaemonRequest{.request = std::move(request)}; }

std::string asciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

BuiltRequest autowatchRequest(const std::vector<std::string>& args) {
    IPCRequest request{.cmd = IPCCommand::autowatch};
    if (args.size() < 2) return plain(request);
    const std::string word = asciiLower(args[1]);
    if (word == "on" || word == "true" || word == "1") {
        request.enable = true;
    } else if (word == "off" || word == "false" || word == "0") {
        request.enable = false;
    } else if (word != "toggle") {
        return UsageError{std::string(tr("Unknown autowatch arg: ")) + args[1] + tr(". Use on|off|toggle.")};
    }
    return plain(request);
}

BuiltRequest patternsRequest(IPCCommand cmd, const std::vector<std::string>& args) {
    if (args.size() < 2) {
        return UsageError{cmd == IPCCommand::watch ? tr("Usage: vigilo watch <pattern...>")
                                                   : tr("Usage: vigilo unwatch <pattern...>")};
    }
    return plain({.cmd = cmd, .patterns = std::vector<std::string>(args.begin() + 1, args.end())});
}

BuiltRequest timerRequest(const std::vector<std::string>& args) {
    const auto seconds = args.size() >= 2 ? parseTimerDuration(args[1]) : std::nullopt;
    if (!seconds || *seconds < 1) return UsageError{tr("Usage: vigilo timer <duration>  (3600, 90m, 1h30m, 45s)")};
    DaemonRequest built{.request = {.cmd = IPCCommand::timer, .seconds = *seconds}};
    // The application would cut it silently; the person should know.
    if (*seconds > kLongestDuration.count()) {
        built.request.seconds = kLongestDuration.count();
        built.notice = tr("Timer capped at one year.");
    }
    return built;
}

BuiltRequest notifyRequest(const std::vector<std::string>& args) {
    std::string body;
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (i > 2) body += ' ';
        body += args[i];
    }
    return plain({.cmd = IPCCommand::notify, .title = args.size() >= 2 ? args[1] : "Vigilo", .body = body});
}

}  // namespace

std::optional<BuiltRequest> buildDaemonRequest(const std::vector<std::string>& args) {
    if (args.empty()) return std::nullopt;
    const std::string& command = args[0];
    if (command == "status") return plain({.cmd = IPCCommand::status});
    if (command == "start") return plain({.cmd = IPCCommand::start});
    if (command == "stop") return plain({.cmd = IPCCommand::stop});
    if (command == "autowatch") return autowatchRequest(args);
    if (command == "watch") return patternsRequest(IPCCommand::watch, args);
    if (command == "unwatch") return patternsRequest(IPCCommand::unwatch, args);
    if (command == "patterns") return plain({.cmd = IPCCommand::listPatterns});
    if (command == "timer") return timerRequest(args);
    if (command == "notify") return notifyRequest(args);
    if (command == "report") return plain({.cmd = IPCCommand::report});
    return std::nullopt;
}

}  // namespace vigilo
