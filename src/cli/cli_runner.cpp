#include "cli/cli_runner.h"

#include "cli/cli_power_assertion.h"
#include "cli/help_text.h"
#include "cli/request_builder.h"
#include "cli/status_text.h"
#include "ipc/ipc_client.h"
#include "support/tr.h"

namespace vigilo {

namespace {

std::string joinWords(const std::vector<std::string>& words, std::size_t from, const char* separator) {
    std::string joined;
    for (std::size_t i = from; i < words.size(); ++i) {
        if (i > from) joined += separator;
        joined += words[i];
    }
    return joined;
}

// An application from before a command existed cannot decode its request.
std::string failureText(const IPCRequest& request, const IPCResponse& reply) {
    std::string message = reply.message.value_or("error");
    if (request.cmd == IPCCommand::report && message.starts_with("bad request: ")) {
        return tr("The running Vigilo does not know this command; restart it.");
    }
    return message;
}

}  // namespace

int CLIRunner::run(const std::vector<std::string>& args) {
    auto& out = services_.out;
    if (args.empty() || args[0] == "-h" || args[0] == "--help" || args[0] == "help") {
        out << cliHelpText() << '\n';
        return kSuccess;
    }
    if (args[0] == "-v" || args[0] == "--version" || args[0] == "version") {
        out << "vigilo " << kCliVersion << '\n';
        return kSuccess;
    }
    if (args[0] == "--") return runWrapped(std::vector<std::string>(args.begin() + 1, args.end()));

    auto built = buildDaemonRequest(args);
    if (!built) {
        services_.err << tr("Unknown command: ") << args[0] << tr(". Try `vigilo help`.") << '\n';
        return kUsage;
    }
    if (auto* usage = std::get_if<UsageError>(&*built)) {
        services_.err << usage->message << '\n';
        return kUsage;
    }
    const auto& [request, notice] = std::get<DaemonRequest>(*built);
    if (notice) services_.err << *notice << '\n';
    const bool asJson = args.size() >= 2 && args[1] == "--json";
    if (request.cmd == IPCCommand::report) return runReport(request, asJson);
    return request.cmd == IPCCommand::status ? runStatus(request, asJson) : runDaemon(request);
}

int CLIRunner::runWrapped(const std::vector<std::string>& words) {
    if (words.empty()) {
        services_.err << tr("Usage: vigilo -- <command> [args...]") << '\n';
        return kUsage;
    }
    const std::string command = joinWords(words, 0, " ");

    auto power = services_.makePowerManagement();
    CLIPowerAssertion assertion(*power);
    assertion.take("vigilo: " + command);  // refused: the command runs all the same

    auto shell = services_.makeShellLauncher();
    const ShellRunResult result = shell->runAndWait(command);
    assertion.release();
    if (!result.started) {
        services_.err << tr("Failed to start: ") << result.startError << '\n';
        return kCannotStart;
    }
    return result.exitStatus;
}

std::optional<IPCResponse> CLIRunner::exchange(const IPCRequest& request) {
    try {
        IPCResponse reply = services_.sendRequest(request);
        if (!reply.ok) {
            services_.err << failureText(request, reply) << '\n';
            return std::nullopt;
        }
        return reply;
    } catch (const ClientError& error) {
        services_.err << error.description() << '\n';
        return std::nullopt;
    }
}

int CLIRunner::runDaemon(const IPCRequest& request) {
    auto reply = exchange(request);
    if (!reply) return kFailure;
    auto& out = services_.out;
    if (reply->message) out << *reply->message << '\n';
    if (reply->mode && request.cmd != IPCCommand::notify) out << "mode: " << *reply->mode << '\n';
    if (request.cmd == IPCCommand::listPatterns && reply->patterns) {
        for (const auto& pattern : *reply->patterns) out << pattern << '\n';
    }
    // The command did what it was asked; scripts keep reading stdout and the
    // status, and the person at the terminal learns that nothing holds.
    if (reply->warning) services_.err << tr("Warning: ") << *reply->warning << '\n';
    return kSuccess;
}

int CLIRunner::runStatus(const IPCRequest& request, bool asJson) {
    auto reply = exchange(request);
    if (!reply) return kFailure;
    // One line a status bar can parse without knowing the labels.
    if (asJson) {
        services_.out << encodeResponse(*reply) << '\n';
    } else {
        services_.out << statusText(*reply);
    }
    return kSuccess;
}

}  // namespace vigilo
