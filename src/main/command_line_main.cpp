#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>

#include "cli/cli_runner.h"
#include "ipc/ipc_client.h"
#include "ipc/ipc_paths.h"
#include "main/entry_points.h"
#include "main/system_module.h"
#include "platform/linux/login_shell_launcher.h"
#include "platform/linux/mqtt/mqtt_module.h"
#include "platform/linux/unix_socket.h"
#include "support/tr.h"

namespace vigilo {

namespace {

constexpr double kRequestTimeoutSeconds = 5;

IPCResponse sendToApplication(const IPCRequest& request) {
    auto socket = IPCPaths::socketPath(XdgEnvironment::fromProcess());
    if (socket.path.empty()) throw ClientError::io(socket.error);
    UnixSocketConnector connector;
    return IPCClient::send(request, kRequestTimeoutSeconds, socket.path, connector);
}

std::optional<std::size_t> terminalWidth() {
    winsize size{};
    if (!::isatty(STDOUT_FILENO) || ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) {
        return std::nullopt;
    }
    return size.ws_col;
}

}  // namespace

int runCommandLine(const std::vector<std::string>& arguments) {
    // The terminal belongs to the command's own output: diagnostics go to
    // the journal when there is one, and nowhere otherwise.
    setLogSink(SystemModule::lazyJournalSink());
    initLocalisation(VIGILO_LOCALE_DIR);

    CLIRunner runner(CliServices{
        .out = std::cout,
        .err = std::cerr,
        .sendRequest = sendToApplication,
        .makePowerManagement = SystemModule::makePowerManagement,
        .makeShellLauncher = [] { return std::make_unique<LoginShellLauncher>(); },
        .makeFleetEnvironment = MqttModule::makeFleetEnvironment,
        .makeInhibitorSources = SystemModule::makeInhibitorSources,
        .terminalWidth = terminalWidth,
        .userUid = static_cast<std::uint32_t>(::getuid()),
    });
    const int status = runner.run(arguments);
    std::cout.flush();
    return status;
}

}  // namespace vigilo
