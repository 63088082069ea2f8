#include "ui/why_facts.h"

#include "app/why/inhibitor_table.h"
#include "support/tr.h"

namespace vigilo {

void addOthersKeepingAwake(StateFacts& facts, const std::vector<InhibitorEntry>& entries) {
    facts.alsoKeepingAwake = alsoKeepingAwakeNames(entries);
    facts.othersBlockSleep = othersBlockSleep(entries);
}

std::string statusLineWithOthers(const StateFacts& facts) {
    // A rule's hold keeps Vigilo's lock while the mode is Off: the live
    // status names the rule then.
    const bool vigiloOff =
        facts.mode.is(KeepAwakeMode::Kind::off) && !facts.clamshellActive && !facts.assertionActive;
    if (vigiloOff && facts.othersBlockSleep) return tr("Off \u2014 something else keeps the computer awake");
    return facts.liveStatus;
}

}  // namespace vigilo
