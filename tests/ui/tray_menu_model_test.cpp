#include "ui/tray_menu_model.h"

#include <gmock/gmock.h>

#include <algorithm>

#include "ui/tray_icon.h"

namespace vigilo::testing {
namespace {

using namespace std::chrono_literals;
using K = KeepAwakeMode::Kind;
using Level = ThermalMonitor::Level;

const WallTime kNow = WallTime{} + 1000000s;

KeepAwakeMode modeOf(K kind) {
    switch (kind) {
        case K::timer: return KeepAwakeMode::timer(kNow + 3723s);
        case K::off: return KeepAwakeMode::off();
        case K::on: return KeepAwakeMode::on();
        case K::chargingOnly: return KeepAwakeMode::chargingOnly();
        case K::autoWatch: return KeepAwakeMode::autoWatch();
        case K::runCommand: return KeepAwakeMode::runCommand();
    }
    return KeepAwakeMode::off();
}

struct IconCase {
    K mode;
    bool clamshell;
    Level thermal;
    const char* icon;
    bool ticks;
};

TEST(TrayIcon, FirstMatchingRuleChoosesTheIcon) {
    const IconCase cases[] = {
        {K::on, true, Level::critical, "vigilo-thermometer-symbolic", false},
        {K::timer, true, Level::serious, "vigilo-lid-symbolic", true},
        {K::timer, false, Level::nominal, "vigilo-timer-symbolic", true},
        {K::off, false, Level::fair, "vigilo-moon-symbolic", false},
        {K::on, false, Level::nominal, "vigilo-sun-symbolic", false},
        {K::chargingOnly, false, Level::nominal, "vigilo-bolt-symbolic", false},
        {K::autoWatch, false, Level::nominal, "vigilo-binoculars-symbolic", true},
        {K::runCommand, false, Level::nominal, "vigilo-terminal-symbolic", true},
    };
    for (const auto& c : cases) {
        const auto mode = modeOf(c.mode);
        EXPECT_EQ(iconThemeName(trayIcon(mode, c.clamshell, c.thermal)), c.icon) << mode.shortLabel();
        EXPECT_EQ(trayNeedsSecondTick(mode), c.ticks) << mode.shortLabel();
    }
    EXPECT_EQ(iconThemeName(modeIcon(KeepAwakeMode::on(), true)), "vigilo-lid-symbolic");
    EXPECT_EQ(trayTooltip(KeepAwakeMode::on()), "Vigilo \u2014 Awake On");
}

// The menu as text: "[x]" and "[ ]" for check marks, "~" for disabled
// entries, "---" for separators, submenus by their title and "{n}" entries.
std::vector<std::string> render(const std::vector<MenuItem>& menu) {
    std::vector<std::string> out;
    for (const auto& item : menu) {
        std::string text = std::string(2 * item.indent, ' ');
        switch (item.kind) {
            case MenuItem::Kind::separator: text = "---"; break;
            case MenuItem::Kind::line: text += item.text; break;
            case MenuItem::Kind::check: text += (item.checked ? "[x] " : "[ ] ") + item.text; break;
            case MenuItem::Kind::action: text += (item.enabled ? "" : "~") + item.text; break;
            case MenuItem::Kind::submenu: text += item.text + " {" + std::to_string(item.children.size()) + "}"; break;
        }
        out.push_back(text);
    }
    return out;
}

WatchMatch match(const char* name, double cpu, bool active) {
    WatchMatch m;
    m.displayName = name;
    m.cpuPercent = cpu;
    m.isActive = active;
    return m;
}

StateFacts factsFor(K mode) {
    StateFacts facts;
    facts.mode = modeOf(mode);
    facts.liveStatus = "status";
    facts.now = kNow;
    return facts;
}

// "More" has 8 entries with "Keep Awake While Charging", 7 without.
std::vector<std::string> withTail(std::vector<std::string> head, int more = 8) {
    const std::vector<std::string> tail = {
        "---", "Windows {7}", "More {" + std::to_string(more) + "}", "---", "Settings\u2026", "Quit Vigilo"};
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

TEST(TrayMenu, OffOnADesktopHasNoStopNoLidAndNoTemperature) {
    EXPECT_EQ(render(buildTrayMenu(factsFor(K::off))),
              withTail({"status", "Battery: n/a (desktop computer)", "---", "[ ] Auto Mode", "[ ] Keep Awake"}, 7));
}

// What else keeps the computer awake shows under the status; when Vigilo is
// off and another program blocks sleep, the status line says so.
TEST(TrayMenu, OthersKeepingTheComputerAwakeAreNamedUnderTheStatus) {
    const struct {
        K mode;
        bool clamshell;
        bool blocksSleep;
        std::vector<std::string> lines;
    } cases[] = {
        {K::off, false, true, {"Off \u2014 something else keeps the computer awake", "Also keeping awake: backup"}},
        {K::off, false, false, {"status", "Also keeping awake: backup"}},  // only the screen
        {K::off, true, true, {"status", "Also keeping awake: backup"}},
        {K::on, false, true, {"status", "Also keeping awake: backup"}},
    };
    for (const auto& c : cases) {
        auto facts = factsFor(c.mode);
        facts.clamshellActive = c.clamshell;
        facts.othersBlockSleep = c.blocksSleep;
        facts.alsoKeepingAwake = "backup";
        auto lines = trayInfoLines(facts);
        lines.resize(2);
        EXPECT_EQ(lines, c.lines);
    }
    // A rule's hold keeps Vigilo's lock while the mode is Off: the status
    // line goes on naming the rule.
    auto held = factsFor(K::off);
    held.assertionActive = true;
    held.othersBlockSleep = true;
    held.alsoKeepingAwake = "backup";
    EXPECT_EQ(trayInfoLines(held).front(), "status");
}

bool listed(const std::vector<MenuItem>& menu, const std::string& text) {
    return std::any_of(menu.begin(), menu.end(),
                       [&](const MenuItem& item) { return item.text == text || listed(item.children, text); });
}

// Entries for hardware the computer lacks are left out, unless the mode they
// switch is on and they are the way to switch it off.
TEST(TrayMenu, EntriesForMissingHardwareAreLeftOutUnlessTheirModeIsOn) {
    struct Case {
        bool battery;
        std::optional<bool> lidClosed;
        bool clamshell;
        K mode;
        bool closedLidEntry;
        bool chargingEntry;
    };
    const Case cases[] = {
        {false, std::nullopt, false, K::off, false, false},
        {true, false, false, K::off, true, true},
        {true, true, false, K::on, true, true},
        {false, std::nullopt, true, K::on, true, false},
        {false, std::nullopt, false, K::chargingOnly, false, true},
    };
    for (const auto& c : cases) {
        auto facts = factsFor(c.mode);
        facts.battery.hasBattery = c.battery;
        facts.lidClosed = c.lidClosed;
        facts.clamshellActive = c.clamshell;
        const auto menu = buildTrayMenu(facts);
        EXPECT_EQ(listed(menu, "Closed-Lid Mode\u2026"), c.closedLidEntry) << c.battery << c.clamshell;
        EXPECT_EQ(listed(menu, "Keep Awake While Charging"), c.chargingEntry) << c.battery << c.clamshell;
    }
    EXPECT_EQ(missingHardwareNote(true, true), "");
    EXPECT_EQ(missingHardwareNote(false, true), "This computer has no lid, so the menu offers no Closed-Lid Mode.");
    EXPECT_EQ(missingHardwareNote(true, false),
              "This computer has no battery, so the menu offers no Keep Awake While Charging.");
}

TEST(TrayMenu, TimerOnAChargingLaptop) {
    auto facts = factsFor(K::timer);
    facts.battery = {.level = 57, .isCharging = true, .isOnACPower = true, .hasBattery = true};
    facts.temperature = 71.6;
    facts.lidClosed = false;
    EXPECT_EQ(render(buildTrayMenu(facts)),
              withTail({"status", "Battery: 57% \u26a1\ufe0e", "Temperature: 72\u00b0C", "Time remaining: 1h 02m",
                        "Lid: Open", "---", "[ ] Auto Mode", "[ ] Keep Awake", "[ ] Closed-Lid Mode\u2026",
                        "Stop"}));
}

TEST(TrayMenu, AutoModeListsEightMatchesThenHowManyMore) {
    auto facts = factsFor(K::autoWatch);
    facts.battery = {.level = 80, .isCharging = false, .isOnACPower = true, .hasBattery = true};
    facts.matches.push_back(match("node", 3.4, false));
    for (int i = 1; i <= 10; ++i) facts.matches.push_back(match(("claude" + std::to_string(i)).c_str(), 40, true));
    auto lines = render(buildTrayMenu(facts));
    EXPECT_EQ(lines[1], "Battery: 80% (AC)");
    EXPECT_EQ(lines[3], "[x] Auto Mode");
    EXPECT_EQ(lines[4], "  \u2022 node  3% (idle)");
    EXPECT_EQ(lines[11], "  \u2022 claude7  40%");
    facts.matches[7].gpuPercent = 80;
    EXPECT_EQ(render(buildTrayMenu(facts))[11], "  \u2022 claude7  40% \u00b7 GPU 80%");
    facts.matches[7].gpuSource = "device";
    EXPECT_EQ(render(buildTrayMenu(facts))[11], "  \u2022 claude7  40% \u00b7 GPU (whole device) 80%");
    EXPECT_EQ(lines[12], "  \u2026and 3 more");
    EXPECT_EQ(lines[13], "[ ] Keep Awake");

    facts.useCpuDetection = false;
    facts.matches.resize(1);
    EXPECT_THAT(autoModeLines(facts.matches, false), ::testing::ElementsAre("\u2022 node (idle)"));
    EXPECT_THAT(autoModeLines({}, true), ::testing::ElementsAre("Waiting for AI tasks\u2026"));
}

TEST(TrayMenu, ClosedLidWhenVeryHotWithoutASensor) {
    auto facts = factsFor(K::on);
    facts.battery = {.level = 30, .isCharging = false, .isOnACPower = false, .hasBattery = true};
    facts.clamshellActive = true;
    facts.thermal = Level::critical;
    facts.lidClosed = true;
    EXPECT_EQ(render(buildTrayMenu(facts)),
              withTail({"status", "Battery: 30%", "Temperature: Very hot", "Lid: Closed", "---", "[ ] Auto Mode",
                        "[x] Keep Awake", "[x] Closed-Lid Mode\u2026", "Stop"}));
}

TEST(TrayMenu, SubmenusAndAWindowNotAvailableIsDisabled) {
    auto facts = factsFor(K::runCommand);
    facts.launchAtLogin = true;
    const auto menu = buildTrayMenu(facts, AvailableWindows{.alerts = false, .runCommand = false});
    const auto& windows = menu[menu.size() - 5].children;
    EXPECT_EQ(render(windows), (std::vector<std::string>{"Dashboard\u2026", "Smart Rules\u2026", "~Alerts\u2026",
                                                         "Weekly Report\u2026", "Activity Log\u2026",
                                                         "What Keeps It Awake\u2026", "Show Status Window\u2026"}));
    const auto& more = menu[menu.size() - 4].children;
    EXPECT_EQ(render(more), (std::vector<std::string>{"Timer {4}",
                                                      "[x] Running Task\u2026", "[ ] Also Prevent Display Sleep",
                                                      "[x] Launch at Login", "---", "Install vigilo CLI\u2026",
                                                      "Show Onboarding\u2026"}));
    EXPECT_FALSE(more[1].enabled);
    EXPECT_EQ(more[0].children[3].timerSeconds, 14400);
    EXPECT_TRUE(menu.front().bold);
}

}  // namespace
}  // namespace vigilo::testing
