// `vigilo why [--json] [--all]`: what keeps this computer awake. It reads
// the services itself, so it works without the application and is never
// behind the latest lock; a running application is asked only for its own
// rows, which say why it keeps the computer awake.
#include <algorithm>

#include "app/why/inhibitor_merge.h"
#include "app/why/inhibitor_table.h"
#include "cli/cli_runner.h"
#include "ipc/ipc_client.h"
#include "support/tr.h"

namespace vigilo {

namespace {

struct WhyOptions {
    bool json = false;
    bool all = false;
};

std::optional<WhyOptions> parseWhy(const std::vector<std::string>& args) {
    WhyOptions options;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--json") {
            options.json = true;
        } else if (args[i] == "--all") {
            options.all = true;
        } else {
            return std::nullopt;
        }
    }
    return options;
}

// The application's rows of itself: what it holds now and why (a command it
// runs included). Wrap mode's rows in its list come from the services, which
// this command reads itself.
std::optional<std::vector<InhibitorEntry>> applicationRows(
    const std::function<IPCResponse(const IPCRequest&)>& send) {
    if (!send) return std::nullopt;
    try {
        // An older application ignores "own" and sends its whole list.
        IPCResponse reply = send({.cmd = IPCCommand::why, .own = true});
        if (!reply.ok || !reply.inhibitors) return std::nullopt;
        std::vector<InhibitorEntry> own;
        for (auto& entry : *reply.inhibitors) {
            if (entry.origin == InhibitorOrigin::vigilo && entry.command == kVigiloApplicationCommand) {
                own.push_back(std::move(entry));
            }
        }
        return own;
    } catch (const ClientError&) {
        return std::nullopt;  // not running: its locks show from the services
    }
}

std::string joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& part : parts) out += (out.empty() ? "" : "; ") + part;
    return out;
}

}  // namespace

int CLIRunner::runWhy(const std::vector<std::string>& args) {
    const auto options = parseWhy(args);
    if (!options) {
        services_.err << tr("Usage: vigilo why [--json] [--all]") << '\n';
        return kUsage;
    }
    InhibitorSnapshot snapshot;
    if (auto sources = services_.makeInhibitorSources ? services_.makeInhibitorSources() : nullptr) {
        snapshot = sources->read();
    } else {
        snapshot.failures.push_back(tr("the system module is missing or cannot be loaded"));
    }
    const auto own = applicationRows(services_.sendRequest);
    if (!snapshot.anyRead() && !own) {
        services_.err << tr("Could not read what keeps this computer awake: ") << joined(snapshot.failures) << '\n';
        return kFailure;
    }
    InhibitorMergeOptions merge{.includeDelay = options->all, .userUid = services_.userUid, .ownRows = own};
    if (own && !own->empty()) merge.applicationPid = own->front().pid;
    const auto entries = mergeInhibitors(snapshot, merge);
    if (options->json) {
        services_.out << inhibitorsToJson(entries).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                      << '\n';
    } else {
        services_.out << inhibitorTable(entries, services_.terminalWidth ? services_.terminalWidth() : std::nullopt);
    }
    return kSuccess;
}

}  // namespace vigilo
