#include "ui/state_facts.h"

#include "app/app_state.h"
#include "platform/lid_state.h"
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

}  // namespace vigilo
