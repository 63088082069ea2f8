#include "cli/request_builder.h"

#include <charconv>

#include "support/tr.h"

namespace vigilo {

namespace {

std::string asciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

BuiltRequest autowatchRequest(const std::vector<std::string>& args) {
    IPCRequest request{.cmd = IPCCommand::autowatch};
    if (args.size() < 2) return request;
    const std::string word = asciiLower(args[1]);
    if (word == "on" || word == "true" || word == "1") {
        request.enable = true;
    } else if (word == "off" || word == "false" || word == "0") {
        request.enable = false;
    } else if (word != "toggle") {
        return UsageError{std::string(tr("Unknown autowatch arg: ")) + args[1] + tr(". Use on|off|toggle.")};
    }
    return request;
}

BuiltRequest patternsRequest(IPCCommand cmd, const std::vector<std::string>& args) {
    if (args.size() < 2) {
        return UsageError{cmd == IPCCommand::watch ? tr("Usage: vigilo watch <pattern...>")
                                                   : tr("Usage: vigilo unwatch <pattern...>")};
    }
    return IPCRequest{.cmd = cmd, .patterns = std::vector<std::string>(args.begin() + 1, args.end())};
}

BuiltRequest timerRequest(const std::vector<std::string>& args) {
    std::optional<long long> seconds = args.size() >= 2 ? parseWholeNumber(args[1]) : std::nullopt;
    if (!seconds || *seconds < 1) return UsageError{tr("Usage: vigilo timer <seconds>")};
    return IPCRequest{.cmd = IPCCommand::timer, .seconds = *seconds};
}

BuiltRequest notifyRequest(const std::vector<std::string>& args) {
    std::string body;
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (i > 2) body += ' ';
        body += args[i];
    }
    return IPCRequest{.cmd = IPCCommand::notify, .title = args.size() >= 2 ? args[1] : "Vigilo", .body = body};
}

}  // namespace

std::optional<long long> parseWholeNumber(const std::string& text) {
    std::string_view digits = text;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty()) return std::nullopt;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    // Parse with the sign so that the most negative value still fits.
    std::string signedDigits(negative ? 1 : 0, '-');
    signedDigits.append(digits);
    long long value = 0;
    auto [end, error] = std::from_chars(signedDigits.data(), signedDigits.data() + signedDigits.size(), value);
    if (error != std::errc() || end != signedDigits.data() + signedDigits.size()) return std::nullopt;
    return value;
}

std::optional<BuiltRequest> buildDaemonRequest(const std::vector<std::string>& args) {
    if (args.empty()) return std::nullopt;
    const std::string& command = args[0];
    if (command == "status") return IPCRequest{.cmd = IPCCommand::status};
    if (command == "start") return IPCRequest{.cmd = IPCCommand::start};
    if (command == "stop") return IPCRequest{.cmd = IPCCommand::stop};
    if (command == "autowatch") return autowatchRequest(args);
    if (command == "watch") return patternsRequest(IPCCommand::watch, args);
    if (command == "unwatch") return patternsRequest(IPCCommand::unwatch, args);
    if (command == "patterns") return IPCRequest{.cmd = IPCCommand::listPatterns};
    if (command == "timer") return timerRequest(args);
    if (command == "notify") return notifyRequest(args);
    if (command == "report") return IPCRequest{.cmd = IPCCommand::report};
    return std::nullopt;
}

}  // namespace vigilo
