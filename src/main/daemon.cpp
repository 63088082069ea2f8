#include "main/daemon.h"

#include <unistd.h>

#include <utility>

#include "ipc/ipc_dispatch.h"
#include "platform/linux/gpu/linux_gpu_usage_source.h"
#include "platform/linux/mqtt/mqtt_module.h"
#include "platform/linux/own_executable.h"

namespace vigilo {

Daemon::Daemon(ApplicationLoop& loop, const XdgEnvironment& env, std::string socketPath, ConfirmationDialog* dialogs)
    : loop_(loop),
      settings_(preferencesDir(env), writer_),
      powerSources_(loop),
      battery_(loop, powerSources_),
      thermalSource_(loop, systemRoot(env) / "sys" / "class" / "thermal"),
      thermal_(loop, thermalSource_),
      processes_(std::make_shared<ProcessDetector>()),
      watcher_(loop, processes_, std::make_shared<LinuxRunningApplications>(),
               std::make_shared<LinuxGpuUsageSource>("/proc", systemRoot(env) / "sys"), watcherOptions(settings_)),
      runner_(loop, launcher_),
      activity_(appSupportDir(env), loop.clock(), writer_),
      restoreRecord_(appSupportDir(env)),
      helper_(loop, helperPath(env), helperElevation(env)),
      fanWriter_(helper_, restoreRecord_),
      smcTransport_(systemRoot(env) / "sys" / "class" / "hwmon", &fanWriter_),
      smc_(smcTransport_),
      cooling_(loop, smc_),
      rules_(appSupportDir(env), loop.clock(), writer_),
      network_(loop),
      watchdog_(loop, network_),
      webhookService_(http_),
      credentials_({kWebhookCredentialService, kWebhookCredentialAccount, "Vigilo webhooks",
                    preferencesDir(env) / "webhooks.json", "Webhook"}),
      webhooks_(loop, credentials_, webhookService_),
      push_(http_),
      alerts_(push_, webhooks_),
      notifier_(loop),
      systemSleep_(loop),
      kdeLid_(KdeLidAction::configDirOf(env)),
      clamshell_(systemRoot(env) / "run", &helper_, &kdeLid_, &restoreRecord_),
      remoteSessions_(loop, ::getuid()),
      crashGuard_(appSupportDir(env), ::getpid(), loop.clock()),
      state_(AppComponents{loop, settings_, battery_, thermal_, watcher_, runner_, activity_, cooling_, alerts_, power_,
                           dialogs ? *dialogs : headlessConfirmation_, notifier_, rules_, watchdog_, systemSleep_,
                           applications_, processes_, ::getuid(), clamshell_, crashGuard_, lid_}),
      stateForIPC_(state_),
      why_(loop, state_),
      mqttPassword_(mqttCredentialItem(env)),
      mqtt_(makeMqtt(env)),
      mqttSettings_(loop, settings_, mqttPassword_, [] { return MqttModule::makeSnapshotReader(); },
                    [this] {
                        if (mqtt_) mqtt_->passwordChanged();
                    }),
      server_(
          loop, [this](const IPCRequest& request) { return dispatchIPCRequest(request, stateForIPC_, instance_); },
          sockets_, std::move(socketPath), ::getuid()),
      shortcutsService_(loop, shortcuts_, ::getuid()),
      loginItem_(XdgAutostartEntry::fileFor(env), ownExecutablePath()),
      launchAtLogin_(loginItem_),
      followLoginItem_(launchAtLogin_.follow(settings_.launchAtLogin)),
      cliInstaller_(env.home, ownExecutablePath(), systemCommandInstall_) {
    shortcuts_.attach(&state_);
    state_.setRemoteSessions(&remoteSessions_);
    repairAtLaunch();
}

// What a run that crashed left changed is put back before the socket and
// the shortcuts start: nobody may switch closed-lid mode on while it is still
// being put back. The helper's runs answer on the loop and the fans' on a
// background task, so the tray and the bus are up meanwhile.
void Daemon::repairAtLaunch() {
    launchRepairsLeft_ = 2;
    state_.recoverClamshellAtLaunch([this] { launchRepairDone(); });
    clamshell_.restoreDesktopLidAction();
    loop_.runInBackground(
        [this] {
            fanWriter_.restoreAll();
            return true;
        },
        [this](bool) { launchRepairDone(); });
}

void Daemon::launchRepairDone() {
    if (--launchRepairsLeft_ > 0) return;
    if (std::exchange(closedLidToResume_, false)) state_.resumeClosedLid();
    // Before the socket serves, so the first status already says it.
    state_.resumeAutoModeAtLaunch();
    if (serverWanted_) startServices();
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

std::filesystem::path Daemon::helperPath(const XdgEnvironment& env) {
    const auto testHelper = env.getenv("VIGILO_TEST_HELPER");
    return testHelper && !testHelper->empty() ? std::filesystem::path(*testHelper) : HelperRunner::installedHelper();
}

HelperRunner::Elevation Daemon::helperElevation(const XdgEnvironment& env) {
    const auto testHelper = env.getenv("VIGILO_TEST_HELPER");
    return testHelper && !testHelper->empty() ? HelperRunner::Elevation::testBuild
                                              : HelperRunner::elevationForThisProcess();
}

ProcessWatcher::Options Daemon::watcherOptions(const AppSettings& settings) {
    return ProcessWatcher::Options{
        .patterns = settings.watchPatterns.get(),
        .pollInterval = static_cast<double>(settings.pollInterval.get()),
        .useCpuDetection = settings.useCpuDetection.get(),
        .cpuThresholdPercent = settings.cpuThresholdPercent.get(),
        .useGpuDetection = settings.useGpuDetection.get(),
        .gpuThresholdPercent = settings.gpuThresholdPercent.get(),
        .idleHoldoffSeconds = settings.idleHoldoffSeconds.get(),
    };
}

bool Daemon::startServer() {
    serverWanted_ = true;
    return launchRepairsLeft_ > 0 || startServices();
}

bool Daemon::startServices() {
    shortcutsService_.start();
    return server_.start();
}

void Daemon::reload() {
    writer_.flush();
    rules_.reload();
    settings_.reload();
    if (mqtt_) mqtt_->reload();
}

void Daemon::setInstance(IPCInstance instance, std::function<void()> quitForHandOver) {
    if (quitForHandOver) {
        instance.handOver = [this, quit = std::move(quitForHandOver)] {
            auto state = state_.handOverState();
            Logger("AppState").info("Handing over to the tray: {}", describeHandOver(state));
            server_.afterThisReply(quit);
            return state;
        };
    }
    instance.inhibitors = [this] { return why_.watch().answer(); };
    instance.ownInhibitors = [this] { return why_.watch().ownRows(); };
    instance_ = std::move(instance);
}

void Daemon::resumeHandedOver(const HandOverState& state) {
    state_.resumeHandedOver(state);
    if (!state.closedLid) return;
    if (launchRepairsLeft_ > 0) {
        closedLidToResume_ = true;
    } else {
        state_.resumeClosedLid();
    }
}

TrayServices Daemon::trayServices() {
    TrayServices services{state_,  settings_, battery_,  thermal_,       watcher_,      cooling_, runner_,
                          lid_,    watchdog_, launchAtLogin_, cliInstaller_, rules_, webhooks_, alerts_,
                          activity_, &notifier_, &helper_};
    services.mqtt = &mqttSettings_;
    services.inhibitors = &why_.watch();
    return services;
}

void Daemon::shutdown() {
    // "offline" before a clean disconnect, which keeps the broker from sending the will.
    if (mqtt_) mqtt_->quit();
    server_.stop();
    shortcutsService_.stop();
    shortcuts_.attach(nullptr);
    // The loop has stopped: a closed-lid switch still under way is driven to
    // its end first, so the release sees the mode as it is, and then the
    // release's own helper run, each bounded by its deadline.
    helper_.finishPending();
    state_.releaseOnTerminate();
    helper_.finishPending();
    loop_.finishBackgroundWork();
    // Automatic control at quit: no preset outlives the application.
    fanWriter_.restoreAll();
    writer_.flush();
}

}  // namespace vigilo
