#include <signal.h>
#include <stdlib.h>

#include <optional>

#include "cli/program_entry.h"
#include "ipc/ipc_paths.h"
#include "main/daemon.h"
#include "main/entry_points.h"
#include "main/running_instance.h"
#include "main/user_interface_module.h"
#include "platform/linux/early_quit_guard.h"
#include "platform/linux/instance_lock.h"
#include "platform/linux/journal_log_sink.h"
#include "platform/linux/sd_event_loop.h"
#include "support/log.h"
#include "support/stale_temporaries.h"
#include "support/tr.h"

namespace vigilo {

namespace {

// How long a headless instance asked to hand over may take to release
// everything and exit.
constexpr double kHandOverSeconds = 10;

// Temporaries of atomic writes that a kill cut short, beside every file the
// application owns. Only the instance lock's holder may do this.
void removeInterruptedWrites(const XdgEnvironment& env, const Logger& log) {
    const std::pair<std::filesystem::path, std::vector<std::string>> owned[] = {
        {preferencesDir(env), {"preferences.json", "webhooks.json"}},
        {appSupportDir(env), {"activity.json", "rules.json", "crashguard.json", "restore.json"}},
    };
    for (const auto& [folder, names] : owned) {
        for (const auto& path : removeStaleTemporaries(folder, names)) {
            log.info("Removed {} left by an interrupted write", path.string());
        }
    }
}

}  // namespace

int runApplication(const std::vector<std::string>& arguments) {
    // A reader of our output or a client that went away is reported as EPIPE
    // where it matters; it must never end the application.
    ::signal(SIGPIPE, SIG_IGN);

    setLogSink(journalOr(std::make_shared<StderrLogSink>()));
    initLocalisation(VIGILO_LOCALE_DIR);
    const Logger log("AppState");
    // First, before any thread starts: they all inherit the blocked signals.
    // A reload asked for during start-up waits for the loop.
    sigset_t reload;
    sigemptyset(&reload);
    sigaddset(&reload, SIGHUP);
    ::sigprocmask(SIG_BLOCK, &reload, nullptr);
    EarlyQuitGuard quitGuard;

    const bool hasDisplay = ::getenv("DISPLAY") || ::getenv("WAYLAND_DISPLAY");
    const bool headless = wantsHeadless(arguments, hasDisplay);

    // Single instance is the lock, taken before any file is read or written:
    // a second launch only talks to the running one over its socket.
    const auto env = XdgEnvironment::fromProcess();
    const auto paths = IPCPaths::socketPath(env);
    if (paths.path.empty()) {
        tellOnce(log, LogLevel::error, paths.error);
        return 1;
    }
    std::optional<InstanceLock> instance(std::in_place, paths.lock);
    std::optional<HandOverState> handedOver;
    if (instance->status() == InstanceLock::Status::heldElsewhere) {
        if (auto status = settleWithRunningInstance(headless, paths.path, log, handedOver)) return *status;
        waitForInstanceLock(instance, paths.lock, kHandOverSeconds);
    }
    if (instance->status() != InstanceLock::Status::held) {
        const bool running = instance->status() == InstanceLock::Status::heldElsewhere;
        tellOnce(log, LogLevel::error, running ? tr("Vigilo is already running") : instance->error());
        return 1;
    }
    removeInterruptedWrites(env, log);

    // The tray role runs everything on the toolkit's loop; the daemon on
    // sd-event.
    std::unique_ptr<UserInterface> ui = headless ? nullptr : openUserInterface(arguments);
    std::optional<SdEventLoop> daemonLoop;
    ApplicationLoop& loop = ui ? ui->loop() : daemonLoop.emplace();
    auto onInterrupt = loop.onSignal(SIGINT, [&] { loop.quit(0); });
    auto onTerminate = loop.onSignal(SIGTERM, [&] { loop.quit(0); });

    Daemon daemon(loop, env, paths.path, ui ? &ui->confirmation() : nullptr);
    if (handedOver) daemon.resumeHandedOver(*handedOver);
    auto onHangUp = loop.onSignal(SIGHUP, [&] { daemon.reload(); });
    quitGuard.release();  // the loop's signal sources take over
    const bool tray = ui && ui->showTray(daemon.trayServices());
    if (ui) daemon.setShowDashboard([&ui] { ui->showDashboard(); });
    daemon.setInstance({.role = ui ? IPCInstance::kTrayRole : IPCInstance::kHeadlessRole,
                        .showStatus = ui ? std::function<void()>([&ui] { ui->showStatus(); }) : nullptr},
                       [&loop] { loop.quit(0); });
    daemon.startServer();
    log.info("Vigilo started ({})", tray ? "tray" : headless ? "headless" : "no tray is available; a second launch opens the status window");

    const int code = loop.run();
    if (ui) ui->hideTray();
    daemon.shutdown();
    log.info("Vigilo stopped");
    return code < 0 ? 1 : code;
}

}  // namespace vigilo
