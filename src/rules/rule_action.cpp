#include "rules/rule_action.h"

#include "rules/overloaded.h"
#include "support/tr.h"

namespace vigilo {

std::string RuleAction::localizedSummary() const {
    return std::visit(Overloaded{
                          [](const StartKeepAwake&) { return std::string(tr("Keep awake")); },
                          [](const StopKeepAwake&) { return std::string(tr("Stop keep-awake")); },
                          [](const SetCoolingPreset& a) { return trFormat("Cooling: {}", shownName(a.preset)); },
                          [](const Notify&) { return std::string(tr("Send a notification")); },
                          [](const SleepMac&) { return std::string(tr("Sleep the computer")); },
                          [](const StartClamshell&) { return std::string(tr("Start closed-lid mode")); },
                          [](const StopClamshell&) { return std::string(tr("Stop closed-lid mode")); },
                          [](const AppendActivityLog&) { return std::string(tr("Log to activity")); },
                          [](const KeepAwakeWhileHeld&) { return std::string(tr("Keep awake while this holds")); },
                      },
                      value);
}

}  // namespace vigilo
