#include "ui/why_facts.h"

#include <gtest/gtest.h>

#include "ui/status_view_model.h"

namespace vigilo {
namespace {

// The status window says what the menu says: another program's sleep lock
// while Vigilo is off, and the names of what else keeps the computer awake.
TEST(WhyFacts, TheStatusWindowNamesWhatElseKeepsTheComputerAwake) {
    StateFacts facts;
    facts.liveStatus = "Idle";
    using Origin = InhibitorOrigin;
    addOthersKeepingAwake(facts, {{.what = {"sleep"}, .who = "backup", .mode = "block"},
                                  {.what = {"idle"}, .who = "firefox", .mode = "block", .origin = Origin::gnome},
                                  {.what = {"sleep"}, .who = "Vigilo", .mode = "block", .origin = Origin::vigilo}});
    const StatusView view = buildStatusView(facts);
    EXPECT_EQ(view.liveStatus, "Off \u2014 something else keeps the computer awake");
    EXPECT_EQ(view.othersLine, "Also keeping awake: backup, firefox");

    addOthersKeepingAwake(facts, {});
    EXPECT_EQ(buildStatusView(facts).liveStatus, "Idle");
    EXPECT_EQ(buildStatusView(facts).othersLine, std::nullopt);
}

}  // namespace
}  // namespace vigilo
