#include "app/why/own_keep_awake.h"

#include "app/app_state.h"
#include "app/why/inhibitor_merge.h"
#include "detection/process_watcher.h"

namespace vigilo {

namespace {

std::optional<std::string> keepAwakeReason(AppState& state) {
    if (!state.assertionActive.get()) return std::nullopt;
    const KeepAwakeMode& mode = state.mode.get();
    switch (mode.kind()) {
    case KeepAwakeMode::Kind::timer: {
        double left = 0;
        if (auto end = state.timerExpiresAt.get()) {
            left = std::chrono::duration<double>(*end - state.clock().wallNow()).count();
        }
        return timerReasonText(left);
    }
    case KeepAwakeMode::Kind::autoWatch: {
        std::vector<std::string> names;
        for (const auto& match : state.watcher().matches.get()) names.push_back(match.displayName);
        // With nothing matched, the locks are a rule's.
        if (auto held = state.ruleHoldText(); held && names.empty()) return held;
        return autoModeReasonText(names);
    }
    case KeepAwakeMode::Kind::runCommand: return runCommandReasonText();
    case KeepAwakeMode::Kind::on:
    case KeepAwakeMode::Kind::chargingOnly: break;
    case KeepAwakeMode::Kind::off: return state.ruleHoldText().value_or(keepAwakeReasonText());
    }
    return keepAwakeReasonText();
}

}  // namespace

std::vector<InhibitorEntry> ownInhibitorRowsOf(AppState& state, std::int64_t pid, std::uint32_t uid) {
    auto reason = keepAwakeReason(state);
    return ownInhibitorRows({.reason = reason,
                             .screen = reason && state.settings().preventDisplaySleep.get(),
                             .closedLid = state.clamshellActive.get(),
                             .pid = pid,
                             .uid = uid,
                             .command = kVigiloApplicationCommand});
}

}  // namespace vigilo
