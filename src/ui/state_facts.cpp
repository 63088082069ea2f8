#include "ui/state_facts.h"

#include "app/app_state.h"
#include "platform/lid_state.h"
#include "cli/command_runner.h"
#include "safety/cooling_manager.h"

namespace vigilo {

StateFacts gatherStateFacts(AppState& state) {
    StateFacts facts;
    facts.mode = state.mode.get();
    facts.assertionActive = state.assertionActive.get();
    facts.clamshellActive = state.clamshellActive.get();
    facts.startedAt = state.startedAt.get();
    facts.lastUserMessage = state.lastUserMessage.get();
    facts.liveStatus = state.liveStatus();

    facts.battery = state.battery().currentSnapshot();
    facts.thermal = state.thermal().currentLevel();
    facts.temperature = state.cooling().temperature().get();
    facts.fans = state.cooling().fans().get();
    facts.fanControlSupported = state.cooling().controlSupported().get();
    facts.fanPreset = state.cooling().activePreset().get();
    facts.lidClosed = state.lid().isClosed();

    facts.matches = state.watcher().matches.get();
    facts.recentAlerts = state.watchdog().recentAlerts.get();

    facts.useCpuDetection = state.settings().useCpuDetection.get();
    facts.preventDisplaySleep = state.settings().preventDisplaySleep.get();
    facts.launchAtLogin = state.settings().launchAtLogin.get();
    facts.now = state.loop().clock().wallNow();
    return facts;
}

std::vector<Handle> watchStateFacts(AppState& state, std::function<void()> changed) {
    auto call = [changed = std::move(changed)](const auto&) { changed(); };
    std::vector<Handle> handles;
    handles.push_back(state.mode.subscribe(call));
    handles.push_back(state.assertionActive.subscribe(call));
    handles.push_back(state.timerExpiresAt.subscribe(call));
    handles.push_back(state.clamshellActive.subscribe(call));
    handles.push_back(state.lastUserMessage.subscribe(call));
    handles.push_back(state.keptAwakeByRule.subscribe(call));
    handles.push_back(state.battery().snapshot().subscribe(call));
    handles.push_back(state.thermal().level().subscribe(call));
    handles.push_back(state.cooling().temperature().subscribe(call));
    handles.push_back(state.watcher().matches.subscribe(call));
    handles.push_back(state.watchdog().recentAlerts.subscribe(call));
    handles.push_back(state.runner().isRunning().subscribe(call));
    handles.push_back(state.settings().launchAtLogin.subscribe(call));
    handles.push_back(state.settings().preventDisplaySleep.subscribe(call));
    return handles;
}

}  // namespace vigilo
