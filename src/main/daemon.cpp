#include "main/daemon.h"

#include <unistd.h>

#include "ipc/ipc_dispatch.h"
#include "platform/linux/own_executable.h"
#include "platform/linux/secrets/credential_store_factory.h"

namespace vigilo {

Daemon::Daemon(ApplicationLoop& loop, const XdgEnvironment& env, std::string socketPath, ConfirmationDialog* dialogs)
    : loop_(loop),
      settings_(preferencesDir(env), writer_),
      powerSources_(loop),
      battery_(loop, powerSources_),
      thermalSource_(loop),
      thermal_(loop, thermalSource_),
      processes_(std::make_shared<ProcessDetector>()),
      watcher_(loop, processes_, std::make_shared<LinuxRunningApplications>(), watcherOptions(settings_)),
      runner_(loop, launcher_),
      activity_(appSupportDir(env), loop.clock(), writer_),
      restoreRecord_(appSupportDir(env)),
      helper_(helperRunner(env)),
      fanWriter_(helper_, restoreRecord_),
      smcTransport_(systemRoot(env) / "sys" / "class" / "hwmon", &fanWriter_),
      smc_(smcTransport_),
      cooling_(loop, smc_),
      rules_(appSupportDir(env), loop.clock(), writer_),
      network_(loop),
      watchdog_(loop, network_),
      webhookService_(http_),
      credentials_(openCredentialStore("com.vigilo.app.webhooks", "config", "Vigilo webhooks",
                                       preferencesDir(env) / "webhooks.json", "Webhook")),
      webhooks_(loop, *credentials_, webhookService_),
      push_(http_),
      alerts_(push_, webhooks_),
      notifier_(loop),
      systemSleep_(loop),
      kdeLid_(KdeLidAction::configDirOf(env)),
      clamshell_(systemRoot(env) / "run", &helper_, &kdeLid_, &restoreRecord_),
      crashGuard_(appSupportDir(env), ::getpid(), loop.clock()),
      state_(AppComponents{loop, settings_, battery_, thermal_, watcher_, runner_, activity_, cooling_, alerts_, power_,
                           dialogs ? *dialogs : headlessConfirmation_, notifier_, rules_, watchdog_, systemSleep_,
                           applications_, processes_, ::getuid(), clamshell_, crashGuard_, lid_}),
      stateForIPC_(state_),
      server_(
          loop, [this](const IPCRequest& request) { return dispatchIPCRequest(request, stateForIPC_, instance_); },
          sockets_, std::move(socketPath), ::getuid()),
      shortcutsService_(loop, shortcuts_, ::getuid()),
      loginItem_(XdgAutostartEntry::fileFor(env), ownExecutablePath()),
      launchAtLogin_(loginItem_),
      followLoginItem_(launchAtLogin_.follow(settings_.launchAtLogin)),
      cliInstaller_(env.home, ownExecutablePath(), systemCommandInstall_) {
    shortcuts_.attach(&state_);
    // Before the socket starts: nobody may switch closed-lid mode on while
    // what a crash left behind is still being put back.
    state_.recoverClamshellAtLaunch();
    // In the same step: KDE's lid action and the fans a crashed run left
    // changed.
    clamshell_.restoreDesktopLidAction();
    fanWriter_.restoreAll();
}

// The suite's override, set by tests/integration only: VIGILO_TEST_ROOT is
// a scratch tree laid out like / (run/, sys/) standing in for the system,
// and VIGILO_TEST_HELPER the test build of the helper acting on it, run
// without pkexec (it needs no root; polkit is still asked as for pkexec).
// Neither reaches the helper's own arguments, and neither gains any
// privilege: the installed helper is only ever run at its installed path.
std::filesystem::path Daemon::systemRoot(const XdgEnvironment& env) {
    const auto root = env.getenv("VIGILO_TEST_ROOT");
    return root && !root->empty() ? std::filesystem::path(*root) : std::filesystem::path("/");
}

HelperRunner Daemon::helperRunner(const XdgEnvironment& env) {
    const auto testHelper = env.getenv("VIGILO_TEST_HELPER");
    if (testHelper && !testHelper->empty()) return HelperRunner(*testHelper, HelperRunner::Elevation::testBuild);
    return HelperRunner();
}

ProcessWatcher::Options Daemon::watcherOptions(const AppSettings& settings) {
    return ProcessWatcher::Options{
        .patterns = settings.watchPatterns.get(),
        .pollInterval = static_cast<double>(settings.pollInterval.get()),
        .useCpuDetection = settings.useCpuDetection.get(),
        .cpuThresholdPercent = settings.cpuThresholdPercent.get(),
        .idleHoldoffSeconds = settings.idleHoldoffSeconds.get(),
    };
}

bool Daemon::startServer() {
    shortcutsService_.start();
    return server_.start();
}

void Daemon::reload() {
    writer_.flush();
    rules_.reload();
    settings_.reload();
}

void Daemon::setInstance(IPCInstance instance) {
    if (auto quit = std::move(instance.handOver)) {
        instance.handOver = [this, quit = std::move(quit)] { server_.afterThisReply(quit); };
    }
    instance_ = std::move(instance);
}

TrayServices Daemon::trayServices() {
    return TrayServices{state_,  settings_, battery_,  thermal_,       watcher_,      cooling_, runner_,
                        lid_,    watchdog_, launchAtLogin_, cliInstaller_, rules_, webhooks_, alerts_,
                        activity_, &notifier_, &helper_};
}

void Daemon::shutdown() {
    server_.stop();
    shortcutsService_.stop();
    shortcuts_.attach(nullptr);
    state_.releaseOnTerminate();
    loop_.finishBackgroundWork();
    // Automatic control at quit: no preset outlives the application.
    fanWriter_.restoreAll();
    writer_.flush();
}

}  // namespace vigilo
