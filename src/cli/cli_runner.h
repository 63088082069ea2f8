#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/fleet_command.h"
#include "ipc/ipc_messages.h"
#include "platform/inhibitor_sources.h"
#include "platform/power_management.h"
#include "platform/shell_launcher.h"

namespace vigilo {

// What the command line needs from the outside world. Expensive pieces are
// made on demand so that `vigilo --version` touches nothing.
struct CliServices {
    std::ostream& out;
    std::ostream& err;
    // Sends one request to the running application; throws ClientError.
    std::function<IPCResponse(const IPCRequest&)> sendRequest;
    std::function<std::unique_ptr<PowerManagement>()> makePowerManagement;
    std::function<std::unique_ptr<ShellLauncher>()> makeShellLauncher;
    // `vigilo fleet`'s settings, password and broker; nullptr when MQTT
    // support cannot be loaded.
    std::function<std::unique_ptr<FleetEnvironment>()> makeFleetEnvironment;
    // `vigilo why`: the system's locks (nullptr when they cannot be read at
    // all), the terminal's width when standard output is one, and who asks.
    std::function<std::unique_ptr<InhibitorSources>()> makeInhibitorSources;
    std::function<std::optional<std::size_t>()> terminalWidth;
    std::uint32_t userUid = 0;
};

// The `vigilo` command line: runs one command and returns its exit status.
class CLIRunner {
public:
    static constexpr int kSuccess = 0;
    static constexpr int kFailure = 1;
    static constexpr int kUsage = 2;
    static constexpr int kCannotStart = 127;

    explicit CLIRunner(CliServices services) : services_(std::move(services)) {}

    int run(const std::vector<std::string>& arguments);

private:
    int runWrapped(const std::vector<std::string>& words);
    int runDaemon(const IPCRequest& request);
    int runStatus(const IPCRequest& request, bool asJson);
    int runReport(const IPCRequest& request, bool asJson);
    int runWhy(const std::vector<std::string>& arguments);
    int runFleet(const std::vector<std::string>& arguments);
    // The reply, or nullopt after printing why there is none (exit 1).
    std::optional<IPCResponse> exchange(const IPCRequest& request);

    CliServices services_;
};

}  // namespace vigilo
