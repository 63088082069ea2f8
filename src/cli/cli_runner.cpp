#include "cli/cli_runner.h"

#include "cli/cli_power_assertion.h"
#include "cli/help_text.h"
#include "cli/request_builder.h"
#include "cli/status_text.h"
#include "ipc/ipc_client.h"
#include "support/tr.h"
#include "support/utf8_text.h"

namespace vigilo {

namespace {

// The keep-awake lock's name shows in the system's list of locks: the
// command as typed, on one line and of a readable length.
constexpr std::size_t kMaxLockNameBytes = 256;

std::string lockName(const std::vector<std::string>& words) {
    std::string name = "vigilo:";
    for (const auto& word : words) {
        name += ' ';
        name += word;
        if (name.size() > kMaxLockNameBytes) break;
    }
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    }
    if (name.size() > kMaxLockNameBytes) {
        name.resize(kMaxLockNameBytes);
        name.resize(kMaxLockNameBytes - incompleteUtf8Suffix(name));
    }
    return decodeUtf8Lossy(name);
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
    if (args[0] == "why") return runWhy(args);
    if (args[0] == "fleet") return runFleet(args);

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

// One word is a command text for the login shell ("make && make test");
// more are an exact argument vector, each word arriving as typed.
int CLIRunner::runWrapped(const std::vector<std::string>& words) {
    if (words.empty() || trimmedWhitespace(words.front()).empty()) {
        services_.err << tr("Usage: vigilo -- <command> [args...]") << '\n';
        return kUsage;
    }
    auto power = services_.makePowerManagement();
    CLIPowerAssertion assertion(*power);
    assertion.take(lockName(words));  // refused: the command runs all the same

    auto shell = services_.makeShellLauncher();
    const ShellRunResult result = words.size() == 1 ? shell->runText(words.front()) : shell->runArguments(words);
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
