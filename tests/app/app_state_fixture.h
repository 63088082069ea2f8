#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "activity/activity_log.h"
#include "alerts/watchdog.h"
#include "app/app_alerts.h"
#include "app/app_settings.h"
#include "app/app_state.h"
#include "cli/command_runner.h"
#include "cli/scripted_child.h"
#include "common/temp_dir.h"
#include "detection/process_watcher.h"
#include "fake_power_management.h"
#include "platform/confirmation_dialog.h"
#include "platform/local_notifier.h"
#include "platform/process_table.h"
#include "platform/network_monitor.h"
#include "platform/running_applications.h"
#include "platform/system_sleep.h"
#include "platform/user_process_table.h"
#include "platform/clamshell_control.h"
#include "platform/lid_state.h"
#include "rules/rules_store.h"
#include "safety/crash_guard.h"
#include "safety/cooling_manager.h"
#include "safety/fake_sources.h"
#include "safety/smc.h"
#include "support/fake_loop.h"
#include "support/serial_writer.h"

namespace vigilo::testing {

struct FakeProcessTable final : ProcessTable {
    std::vector<DetectedProcess> processes;
    std::vector<DetectedProcess> allRunning() const override { return processes; }
    std::optional<std::string> commandLine(std::int32_t) const override { return std::string(); }
    std::optional<ProcessUsage> resourceUsage(std::int32_t) const override { return ProcessUsage{1, 4096}; }
};

struct NoApplications final : RunningApplications {
    std::vector<RunningApplication> list() const override { return {}; }
};

// The user's own processes, as the rule engine lists them.
struct FakeUserProcesses final : UserProcessTable {
    std::vector<DetectedProcess> processes;
    std::vector<DetectedProcess> runningAs(uid_t) const override { return processes; }
};

// A network the test switches by hand.
struct ScriptedNetwork final : NetworkMonitor {
    Handle start(std::function<void(bool)> onChange) override {
        listener = std::move(onChange);
        return Handle([this] { listener = nullptr; });
    }
    void report(bool up) {
        if (listener) listener(up);
    }
    std::function<void(bool)> listener;
};

// Closed-lid mode that succeeds or refuses as the test says, at once or,
// with `answerLater`, when the test calls answerWaiting() (as while the
// helper waits for a password); a drop-in left by a crash is `sleepDisabled`.
struct FakeClamshell final : ClamshellControl {
    bool isSleepDisabled() override { return sleepDisabled; }
    void setDisableSleep(bool disable, Consent consent, Done done) override {
        calls.push_back(disable);
        consents.push_back(consent);
        auto answer = [this, disable, done] {
            if (refuse) return done(false);
            sleepDisabled = false;
            held = disable;
            done(true);
        };
        if (answerLater) {
            waiting.push_back(answer);
        } else {
            answer();
        }
    }
    void answerWaiting() {
        auto answers = std::move(waiting);
        waiting.clear();
        for (auto& answer : answers) answer();
    }
    bool sleepDisabled = false;
    bool refuse = false;
    bool held = false;
    bool answerLater = false;
    std::vector<std::function<void()>> waiting;
    std::vector<bool> calls;
    std::vector<Consent> consents;
};

struct FakeLid final : LidState {
    std::optional<bool> closed;
    std::optional<bool> isClosed() override { return closed; }
};

struct RecordingSleep final : SystemSleep {
    bool requestSleep() override {
        ++requests;
        return true;
    }
    int requests = 0;
};

struct NoSMC final : SMCTransport {
    OpenResult open() override { return {false, 1}; }
    void close() override {}
    int callStructMethod(std::uint32_t, const SMCKeyData&, SMCKeyData&) override { return 1; }
};

struct AnsweringDialog final : ConfirmationDialog {
    bool answer = true;
    std::vector<std::string> asked;
    bool confirm(const std::string& message, const std::string& text, const std::string&, const std::string&) override {
        asked.push_back(message + " | " + text);
        return answer;
    }
};

struct RecordingNotifier final : LocalNotifier {
    std::vector<std::pair<std::string, std::string>> posted;
    bool delivers = true;
    void post(const std::string& title, const std::string& body) override { posted.emplace_back(title, body); }
    void postAnswered(const std::string& title, const std::string& body, Answered answered) override {
        post(title, body);
        answered(delivers);
    }
};

struct RecordingAlerts final : AppAlerts {
    std::vector<PushRequest> pushes;
    std::vector<std::string> webhooks;
    void push(const PushRequest& request) override { pushes.push_back(request); }
    void sendWebhook(const std::string& event, const std::string& title, const std::string& body) override {
        webhooks.push_back(event + ": " + title + " | " + body);
    }
};

// Every component real, over fakes of the system, on virtual time.
class AppStateTest : public ::testing::Test {
protected:
    AppStateTest()
        : settings(dir.path(), writer),
          battery(loop, powerSources),
          thermal(loop, thermalSource),
          watcher(loop, processes, std::make_shared<NoApplications>()),
          runner(loop, launcher),
          activity(std::nullopt, loop.clock(), writer),
          smc(smcTransport),
          cooling(loop, smc),
          rules(std::nullopt, loop.clock(), writer),
          crashGuard(dir.path() / "data", 4242, loop.clock()),
          watchdog(loop, network) {}

    AppState& state() {
        if (!state_) {
            state_ = std::make_unique<AppState>(AppComponents{
                loop, settings, battery, thermal, watcher, runner, activity, cooling, alerts, power, dialog, notifier,
                rules, watchdog, systemSleep, applications, userProcesses, 1000, clamshell, crashGuard, lid});
            loop.runUntilIdle();
        }
        return *state_;
    }

    std::vector<std::string> activityKinds() const {
        std::vector<std::string> kinds;
        auto& events = const_cast<ActivityLog&>(activity).events().get();
        for (auto it = events.rbegin(); it != events.rend(); ++it) {
            kinds.push_back(std::string(activityKindName(it->kind)) + (it->text ? "=" + *it->text : ""));
        }
        return kinds;
    }

    void runProcesses(std::vector<DetectedProcess> list) {
        processes->processes = std::move(list);
        loop.fastForwardBy(std::chrono::seconds(3));
    }

    TempDir dir;
    SerialWriter writer;
    FakeLoop loop;
    FakePowerSources powerSources;
    FakeThermalSource thermalSource;
    std::shared_ptr<FakeProcessTable> processes = std::make_shared<FakeProcessTable>();
    ScriptedLauncher launcher;
    NoSMC smcTransport;
    FakePowerManagement power;
    AnsweringDialog dialog;
    RecordingNotifier notifier;
    RecordingAlerts alerts;
    AppSettings settings;
    BatteryMonitor battery;
    ThermalMonitor thermal;
    ProcessWatcher watcher;
    CommandRunner runner;
    ActivityLog activity;
    SMC smc;
    CoolingManager cooling;
    ScriptedNetwork network;
    RecordingSleep systemSleep;
    NoApplications applications;
    std::shared_ptr<FakeUserProcesses> userProcesses = std::make_shared<FakeUserProcesses>();
    RulesStore rules;
    FakeClamshell clamshell;
    FakeLid lid;
    CrashGuard crashGuard;
    Watchdog watchdog;
    std::unique_ptr<AppState> state_;
};

}  // namespace vigilo::testing
