// Auto Mode remembered for the next launch: the person's choices set it, the
// system's own reactions leave it alone, and a launch resumes only Auto Mode.
#include <gmock/gmock.h>

#include <fstream>
#include <functional>

#include "app/app_state.h"
#include "app/app_state_ipc.h"
#include "app/shortcut_actions.h"
#include "app_state_fixture.h"
#include "ipc/ipc_dispatch.h"

namespace vigilo::testing {
namespace {

using namespace std::chrono_literals;
using K = KeepAwakeMode::Kind;

class AutoModeAtLaunchTest : public AppStateTest {
protected:
    // What the menu's switch, `vigilo autowatch on` and onboarding's
    // "Turn on Auto Mode" all come down to.
    void turnAutoModeOn() {
        state().toggleAutoWatch();
        ASSERT_TRUE(state().mode.get().is(K::autoWatch));
        ASSERT_TRUE(settings.autoModeAtLaunch.get());
    }

    IPCResponse command(IPCRequest request) {
        AppStateIPC application(state());
        return dispatchIPCRequest(request, application);
    }

    bool storedInFile() {
        writer.flush();
        std::ifstream file(settings.preferencesFile());
        return nlohmann::json::parse(file).value("autoModeAtLaunch", false);
    }
};

TEST_F(AutoModeAtLaunchTest, ThePersonsLastChoiceIsRememberedWhateverWindowOrCommandMadeIt) {
    struct Case {
        const char* name;
        bool autoModeBefore;  // Auto Mode running (and remembered) before
        std::function<void(ShortcutActions&)> act;
        K mode;
        bool remembered;
    };
    const Case cases[] = {
        {"menu turns Auto Mode on", false, [this](auto&) { state().toggleAutoWatch(); }, K::autoWatch, true},
        {"menu turns Auto Mode off", true, [this](auto&) { state().toggleAutoWatch(); }, K::off, false},
        {"menu Stop", true, [this](auto&) { state().stop(); }, K::off, false},
        {"menu keep-awake", true, [this](auto&) { state().startAlwaysOn(); }, K::on, false},
        {"menu timer", true, [this](auto&) { state().startTimer(600); }, K::timer, false},
        {"menu charging only", true, [this](auto&) { state().startChargingOnly(); }, K::chargingOnly, false},
        {"vigilo autowatch on", false, [this](auto&) { command({.cmd = IPCCommand::autowatch, .enable = true}); },
         K::autoWatch, true},
        {"vigilo autowatch off", true, [this](auto&) { command({.cmd = IPCCommand::autowatch, .enable = false}); },
         K::off, false},
        {"vigilo stop", true, [this](auto&) { command({.cmd = IPCCommand::stop}); }, K::off, false},
        {"vigilo start", true, [this](auto&) { command({.cmd = IPCCommand::start}); }, K::on, false},
        {"vigilo timer", true, [this](auto&) { command({.cmd = IPCCommand::timer, .seconds = 60}); }, K::timer, false},
        {"D-Bus Auto Mode toggle on", false, [](auto& s) { s.toggleAIWorkloadMode(); }, K::autoWatch, true},
        {"D-Bus Auto Mode toggle off", true, [](auto& s) { s.toggleAIWorkloadMode(); }, K::off, false},
        {"D-Bus stop", true, [](auto& s) { s.stopKeepAwake(); }, K::off, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        state().stop();
        if (c.autoModeBefore) turnAutoModeOn();
        ShortcutActions shortcuts;
        shortcuts.attach(&state());
        c.act(shortcuts);
        EXPECT_EQ(state().mode.get().kind(), c.mode);
        EXPECT_EQ(settings.autoModeAtLaunch.get(), c.remembered);
        EXPECT_EQ(storedInFile(), c.remembered);
    }
}

// The D-Bus start acts only from off; off with Auto Mode remembered is where
// the battery's auto-stop leaves it.
TEST_F(AutoModeAtLaunchTest, AStartFromOffForgetsAutoModeThatTheBatteryStopped) {
    settings.batteryThreshold.set(20);
    powerSources.setBattery(90, false);
    turnAutoModeOn();
    powerSources.setBattery(19, false);
    powerSources.notify();
    loop.runUntilIdle();
    ASSERT_TRUE(state().mode.get().is(K::off));
    EXPECT_TRUE(settings.autoModeAtLaunch.get()) << "the battery, not the person, turned it off";

    ShortcutActions shortcuts;
    shortcuts.attach(&state());
    shortcuts.startKeepAwake();
    EXPECT_TRUE(state().mode.get().is(K::on));
    EXPECT_FALSE(settings.autoModeAtLaunch.get());
}

TEST_F(AutoModeAtLaunchTest, WhatTheSystemDoesLeavesTheChoiceAlone) {
    // A declined battery question changes nothing at all.
    powerSources.setBattery(80, false);
    dialog.answer = true;
    turnAutoModeOn();
    dialog.answer = false;
    state().startTimer(600);
    EXPECT_TRUE(state().mode.get().is(K::autoWatch));
    EXPECT_TRUE(settings.autoModeAtLaunch.get());

    // A Smart Rule starting keep-awake after Auto Mode was stopped for the
    // battery: a rule is not the person.
    settings.batteryThreshold.set(20);
    powerSources.setBattery(19, false);
    powerSources.notify();
    loop.runUntilIdle();
    ASSERT_TRUE(state().mode.get().is(K::off));
    rules.addCustomRule("blender");
    userProcesses->processes = {{42, "blender"}};
    settings.smartRulesEnabled.set(true);
    loop.fastForwardBy(1s);
    EXPECT_TRUE(state().mode.get().is(K::on)) << "the rule fired";
    EXPECT_TRUE(settings.autoModeAtLaunch.get());

    // Nor does the keep-awake a rule's closed-lid mode starts once the
    // helper answers, long after the rule fired.
    state().stop();
    settings.autoModeAtLaunch.set(true);
    clamshell.answerLater = true;
    state().enableClamshellQuiet();
    clamshell.answerWaiting();
    EXPECT_TRUE(state().mode.get().is(K::on));
    EXPECT_TRUE(settings.autoModeAtLaunch.get());

    // Whatever runs when the launch's repairs end is kept (a hand-over
    // resumes its mode first).
    state().resumeAutoModeAtLaunch();
    EXPECT_TRUE(state().mode.get().is(K::on));
}

TEST_F(AutoModeAtLaunchTest, ALaunchResumesAutoModeOnlyWhenItWasLeftOn) {
    const struct {
        const char* name;
        const char* stored;  // preferences.json as the last run left it
        bool onBattery;
        K mode;
    } cases[] = {
        {"never chosen", "{}", false, K::off},
        {"turned off", R"({"autoModeAtLaunch": false})", false, K::off},
        {"left on", R"({"autoModeAtLaunch": true})", false, K::autoWatch},
        {"left on, now on battery: nobody is asked", R"({"autoModeAtLaunch": true})", true, K::autoWatch},
        {"not a boolean", R"({"autoModeAtLaunch": "yes"})", false, K::off},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir.write("preferences.json", c.stored);
        AppSettings stored(dir.path(), writer);
        if (c.onBattery) {
            powerSources.setBattery(80, false);
        } else {
            powerSources.sources.reset();
        }
        AppState launched(AppComponents{loop, stored, battery, thermal, watcher, runner, activity, cooling, alerts,
                                        power, dialog, notifier, rules, watchdog, systemSleep, applications,
                                        userProcesses, 1000, clamshell, crashGuard, lid});
        launched.resumeAutoModeAtLaunch();
        EXPECT_EQ(launched.mode.get().kind(), c.mode);
        EXPECT_TRUE(dialog.asked.empty());
        if (c.mode == K::autoWatch) {
            runProcesses({{7, "ollama"}});
            EXPECT_TRUE(launched.assertionActive.get()) << "the resumed Auto Mode watches";
            runProcesses({});
        }
        launched.releaseOnTerminate();
    }
}

}  // namespace
}  // namespace vigilo::testing
