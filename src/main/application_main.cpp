#include <signal.h>
#include <stdlib.h>

#include <cstdio>

#include "cli/program_entry.h"
#include "ipc/ipc_client.h"
#include "ipc/ipc_paths.h"
#include "main/daemon.h"
#include "main/entry_points.h"
#include "platform/linux/journal_log_sink.h"
#include "platform/linux/sd_event_loop.h"
#include "platform/linux/unix_socket.h"
#include "support/log.h"
#include "support/tr.h"

namespace vigilo {

namespace {

// Another instance owns the socket when it answers a ping there.
bool anotherInstanceAnswers(const std::string& socketPath) {
    UnixSocketConnector connector;
    try {
        return IPCClient::send({.cmd = IPCCommand::ping}, 2, socketPath, connector).ok;
    } catch (const ClientError&) {
        return false;
    }
}

}  // namespace

int runApplication(const std::vector<std::string>& arguments) {
    // Blocked before any thread starts, so that every thread inherits the
    // mask and the loop alone receives them.
    sigset_t quitSignals;
    sigemptyset(&quitSignals);
    sigaddset(&quitSignals, SIGINT);
    sigaddset(&quitSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &quitSignals, nullptr);

    setLogSink(journalOr(std::make_shared<StderrLogSink>()));
    initLocalisation(VIGILO_LOCALE_DIR);
    const Logger log("AppState");

    const bool hasDisplay = ::getenv("DISPLAY") || ::getenv("WAYLAND_DISPLAY");
    const bool headless = wantsHeadless(arguments, hasDisplay);

    const auto env = XdgEnvironment::fromProcess();
    const auto socket = IPCPaths::socketPath(env);
    if (socket.path.empty()) {
        Logger("IPC").error("{}", socket.error);
    } else if (anotherInstanceAnswers(socket.path)) {
        log.error("Vigilo is already running");
        std::fprintf(stderr, "%s\n", tr("Vigilo is already running"));
        return 1;
    }

    SdEventLoop loop;
    auto onInterrupt = loop.onSignal(SIGINT, [&] { loop.quit(0); });
    auto onTerminate = loop.onSignal(SIGTERM, [&] { loop.quit(0); });

    Daemon daemon(loop, env, socket.path);
    if (!socket.path.empty()) daemon.startServer();
    log.info("Vigilo started ({})", headless ? "headless" : "the tray is not available yet; running headless");

    const int code = loop.run();
    daemon.shutdown();
    log.info("Vigilo stopped");
    return code < 0 ? 1 : code;
}

}  // namespace vigilo
