#include "app/app_settings.h"

#include <gmock/gmock.h>

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>

#include <fmt/format.h>

#include "app/watch_list_limits.h"
#include "common/log_capture.h"
#include "common/temp_dir.h"
#include "detection/default_patterns.h"

namespace vigilo {
namespace {

using nlohmann::json;
using Patterns = std::vector<std::string>;

class AppSettingsTest : public ::testing::Test {
protected:
    std::unique_ptr<AppSettings> open() { return std::make_unique<AppSettings>(dir.path(), writer); }

    // Saves everything submitted so far and reads the file back.
    json onDisk() {
        writer.flush();
        auto text = testing::readFile(dir / "preferences.json");
        return text ? json::parse(*text) : json();
    }

    void store(const std::string& contents) { dir.write("preferences.json", contents); }

    testing::LogCapture logs;
    testing::TempDir dir;
    SerialWriter writer;
};

// The defaults of a fresh store that the unusable-value test does not see as fallbacks.
void expectDefaults(const AppSettings& s) {
    EXPECT_TRUE(s.warnOnBattery.get());
    EXPECT_FALSE(s.launchAtLogin.get());
    EXPECT_FALSE(s.hasCompletedOnboarding.get());
    EXPECT_FALSE(s.autoModeAtLaunch.get());
    EXPECT_TRUE(s.thermalAutoStopClamshell.get());
    EXPECT_EQ(s.warnBatteryThreshold.get(), 10);
    EXPECT_TRUE(s.autoMaxFanOnCritical.get());
    EXPECT_FALSE(s.smartRulesEnabled.get());
    EXPECT_TRUE(s.notifyOnComplete.get());
    EXPECT_EQ(s.ntfyTopic.get(), "");
    EXPECT_EQ(s.pushoverToken.get(), "");
    EXPECT_FALSE(s.mqttEnabled.get());
    EXPECT_EQ(s.mqttBroker.get(), "");
    EXPECT_EQ(s.mqttTopicPrefix.get(), "vigilo");
    EXPECT_EQ(s.mqttDiscoveryPrefix.get(), "homeassistant");
    EXPECT_TRUE(s.mqttAcceptCommands.get());
    EXPECT_EQ(s.mqttCAFile.get(), "");
}

TEST_F(AppSettingsTest, FreshStoreGivesTheDefaultsWritesNothingAndMakesTheFolderAtTheFirstWrite) {
    AppSettings settings(dir / "config/Vigilo", writer);
    expectDefaults(settings);
    writer.flush();
    EXPECT_FALSE(std::filesystem::exists(dir / "config"));
    EXPECT_TRUE(logs.lines().empty());

    settings.smartRulesEnabled.set(true);
    writer.flush();
    EXPECT_EQ(settings.preferencesFile(), dir / "config/Vigilo/preferences.json");
    EXPECT_TRUE(AppSettings(dir / "config/Vigilo", writer).smartRulesEnabled.get());
}

// Adjusted values are what the settings window offers anyway: not reported,
// and not put aside when written.
TEST_F(AppSettingsTest, LoadAdjustmentsAreNotWrittenBackNorReported) {
    store(R"({"pollInterval": 0, "idleHoldoffSeconds": 2, "cpuThresholdPercent": -3, "batteryThreshold": 200,
              "warnBatteryThreshold": 12.0, "useCpuDetection": null, "someFutureKey": "x",
              "gpuThresholdPercent": 250})");
    auto settings = open();
    EXPECT_EQ(settings->pollInterval.get(), 1);
    EXPECT_EQ(settings->idleHoldoffSeconds.get(), 5);
    EXPECT_EQ(settings->cpuThresholdPercent.get(), 0.0);
    EXPECT_EQ(settings->gpuThresholdPercent.get(), 100.0);
    EXPECT_TRUE(settings->useGpuDetection.get());
    EXPECT_EQ(settings->batteryThreshold.get(), 200);  // writes and loads are not range-checked
    EXPECT_EQ(settings->warnBatteryThreshold.get(), 12);  // a whole number is an integer
    EXPECT_TRUE(settings->useCpuDetection.get()) << "null is unset";

    // The stored 2 stays until the property itself is written.
    settings->pollInterval.set(7);
    EXPECT_EQ(onDisk()["idleHoldoffSeconds"], 2);
    settings->idleHoldoffSeconds.set(5);
    settings->useCpuDetection.set(true);
    EXPECT_EQ(onDisk()["idleHoldoffSeconds"], 5);
    EXPECT_EQ(onDisk()["someFutureKey"], "x");
    EXPECT_TRUE(logs.lines().empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "preferences.json.bad"));
}

TEST_F(AppSettingsTest, ReloadAppliesOnlyWhatChangedWritesNothingAndABadFileChangesNothing) {
    store(R"({"smartRulesEnabled": false, "pollInterval": 5})");
    auto settings = open();
    int published = 0;
    auto watch = settings->smartRulesEnabled.subscribe([&](bool) { ++published; });
    auto pollWatch = settings->pollInterval.subscribe([&](int) { ++published; });

    const std::string edited = R"({"smartRulesEnabled": true, "pollInterval": 5, "idleHoldoffSeconds": 2})";
    store(edited);
    ASSERT_TRUE(settings->reload());
    EXPECT_TRUE(settings->smartRulesEnabled.get());
    EXPECT_EQ(settings->idleHoldoffSeconds.get(), 5) << "load-adjusted as at start";
    EXPECT_EQ(published, 1) << "only the changed setting is published";
    writer.flush();
    EXPECT_EQ(testing::readFile(dir / "preferences.json"), edited) << "nothing is written back";

    store("{ not json");
    EXPECT_FALSE(settings->reload());
    EXPECT_TRUE(settings->smartRulesEnabled.get());
    std::filesystem::remove(dir / "preferences.json");
    EXPECT_FALSE(settings->reload());
    EXPECT_EQ(settings->pollInterval.get(), 5);
}

TEST_F(AppSettingsTest, WritesArePublishedSavedTypedAndReadBack) {
    auto settings = open();
    std::vector<int> seen;
    Handle subscription = settings->pollInterval.subscribe([&](const int& v) { seen.push_back(v); });
    settings->pollInterval.set(10);
    settings->pollInterval.set(10);
    EXPECT_EQ(seen, (std::vector<int>{10, 10}));

    settings->preventDisplaySleep.set(true);
    settings->cpuThresholdPercent.set(12.5);
    settings->idleHoldoffSeconds.set(120);
    settings->watchPatterns.set({"claude", "my-agent"});
    settings->pushProvider.set(PushProvider::pushover);
    settings->ntfyTopic.set("secret-word");
    settings->launchAtLogin.set(true);

    const json expected = {{"pollInterval", 10},          {"preventDisplaySleep", true},
                           {"cpuThresholdPercent", 12.5}, {"idleHoldoffSeconds", 120},
                           {"watchPatterns", {"claude", "my-agent"}}, {"pushProvider", "pushover"},
                           {"ntfyTopic", "secret-word"},  {"launchAtLogin", true}};
    EXPECT_EQ(onDisk(), expected);
    EXPECT_EQ(std::filesystem::status(dir / "preferences.json").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    // A whole number still goes out as a floating-point number.
    settings->cpuThresholdPercent.set(7.0);
    EXPECT_TRUE(onDisk()["cpuThresholdPercent"].is_number_float());

    auto reloaded = open();
    EXPECT_EQ(reloaded->pollInterval.get(), 10);
    EXPECT_TRUE(reloaded->preventDisplaySleep.get());
    EXPECT_EQ(reloaded->cpuThresholdPercent.get(), 7.0);
    EXPECT_EQ(reloaded->watchPatterns.get(), (Patterns{"claude", "my-agent"}));
    EXPECT_EQ(reloaded->pushProvider.get(), PushProvider::pushover);
    EXPECT_EQ(reloaded->ntfyTopic.get(), "secret-word");
    EXPECT_EQ(reloaded->batteryThreshold.get(), 20);
}

// Writes a setting's current value back, as a settings window would.
template <class T>
std::function<void(AppSettings&)> rewrite(Setting<T> AppSettings::*setting) {
    return [setting](AppSettings& s) { (s.*setting).set((s.*setting).get()); };
}

TEST_F(AppSettingsTest, UnusableValuesReadAsDefaultsAreReportedAndKeptAsBadBeforeAWriteReplacesThem) {
    const struct {
        const char* key;
        json stored;
        const char* expected;  // in the log line
        std::function<void(AppSettings&)> write;
        json written;  // the default
    } cases[] = {
        {"preventDisplaySleep", 1, "true or false", rewrite(&AppSettings::preventDisplaySleep), false},
        {"useCpuDetection", "yes", "true or false", rewrite(&AppSettings::useCpuDetection), true},
        {"batteryThreshold", "30", "a whole number from -2147483648 to 2147483647",
         rewrite(&AppSettings::batteryThreshold), 20},
        {"pollInterval", 2.5, "a whole number from -2147483648 to 2147483647", rewrite(&AppSettings::pollInterval),
         3},
        {"criticalBatteryThreshold", 99999999999, "a whole number from -2147483648 to 2147483647",
         rewrite(&AppSettings::criticalBatteryThreshold), 5},
        {"idleHoldoffSeconds", 1e300, "a whole number from -2147483648 to 2147483647",
         rewrite(&AppSettings::idleHoldoffSeconds), 60},
        {"cpuThresholdPercent", "9", "a number", rewrite(&AppSettings::cpuThresholdPercent), 5.0},
        {"useGpuDetection", 0, "true or false", rewrite(&AppSettings::useGpuDetection), true},
        {"gpuThresholdPercent", "10", "a number", rewrite(&AppSettings::gpuThresholdPercent), 10.0},
        {"ntfyServer", {{"url", "x"}}, "a text", rewrite(&AppSettings::ntfyServer), kDefaultNtfyServer},
        {"pushoverUser", false, "a text", rewrite(&AppSettings::pushoverUser), ""},
        {"autoModeAtLaunch", "true", "true or false", rewrite(&AppSettings::autoModeAtLaunch), false},
        {"mqttEnabled", "yes", "true or false", rewrite(&AppSettings::mqttEnabled), false},
        {"mqttTopicPrefix", 7, "a text", rewrite(&AppSettings::mqttTopicPrefix), "vigilo"},
        {"watchPatterns", 5, "a list of texts", rewrite(&AppSettings::watchPatterns), defaultWatchPatterns()},
        {"pushProvider", "Pushover", R"(one of "none", "ntfy" and "pushover")", rewrite(&AppSettings::pushProvider),
         "none"},
    };
    json file = {{"warnOnBattery", false}, {"ntfyTopic", "mine"}, {"someFutureKey", {{"a", {1, 2}}}}};
    for (const auto& c : cases) file[c.key] = c.stored;
    const std::string original = file.dump(1, '\t');
    store(original);
    auto settings = open();

    std::vector<std::string> expectedLog;
    for (const auto& c : cases) {
        expectedLog.push_back(fmt::format(R"(Settings: error: Preferences file {}: "{}" is not {}; using the default)",
                                          settings->preferencesFile().string(), c.key, c.expected));
    }
    EXPECT_THAT(logs.lines(), ::testing::UnorderedElementsAreArray(expectedLog));
    logs.clear();

    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        c.write(*settings);
        const json disk = onDisk();
        EXPECT_EQ(disk[c.key], c.written);
        EXPECT_EQ(testing::readFile(dir / "preferences.json.bad"), original) << "copied once, before the first";
    }
    const json disk = onDisk();
    EXPECT_EQ(disk["warnOnBattery"], false);
    EXPECT_EQ(disk["ntfyTopic"], "mine");
    EXPECT_EQ(disk["someFutureKey"], file["someFutureKey"]);
    EXPECT_EQ(logs.lines(), std::vector<std::string>{fmt::format(
                                "Settings: Preferences file {0} copied to {0}.bad before this save replaces it",
                                settings->preferencesFile().string())});
}

// The copy is made when a value the user cannot get back is about to go,
// once for each reading of the file.
TEST_F(AppSettingsTest, OnlyAWriteThatReplacesAnUnusableValueKeepsACopyOncePerReading) {
    store(R"({"watchPatterns": 5, "ntfyTopic": 7})");
    auto settings = open();
    settings->pollInterval.set(4);
    EXPECT_EQ(onDisk()["watchPatterns"], 5) << "kept while it is not written";
    EXPECT_FALSE(std::filesystem::exists(dir / "preferences.json.bad"));

    settings->watchPatterns.set({"mine"});
    settings->ntfyTopic.set("topic");
    writer.flush();
    const json kept = json::parse(testing::readFile(dir / "preferences.json.bad").value());
    EXPECT_EQ(kept, json::parse(R"({"watchPatterns": 5, "ntfyTopic": 7, "pollInterval": 4})"));

    // A file edited by hand and read again is a new reading.
    const std::string edited = R"({"watchPatterns": "claude"})";
    store(edited);
    ASSERT_TRUE(settings->reload());
    settings->watchPatterns.set({"claude"});
    writer.flush();
    EXPECT_EQ(testing::readFile(dir / "preferences.json.bad"), edited);

    // A corrupt file fixed by hand before any write leaves nothing to keep.
    store("{ oops");
    auto reopened = open();
    store(R"({"pollInterval": 9})");
    ASSERT_TRUE(reopened->reload());
    reopened->pollInterval.set(10);
    writer.flush();
    EXPECT_EQ(testing::readFile(dir / "preferences.json.bad"), edited);
}

TEST_F(AppSettingsTest, ChipRulesEditTheStoredListOneWriteEach) {
    auto settings = open();
    int writes = 0;
    Handle subscription = settings->watchPatterns.subscribe([&](const Patterns&) { ++writes; });

    settings->toggleWatchPattern("claude");  // on by default: removed
    EXPECT_FALSE(containsWatchPattern(settings->watchPatterns.get(), "claude"));
    EXPECT_FALSE(settings->watchPatternChips().front().on);
    EXPECT_EQ(settings->watchPatternChips().front().pattern, "claude");
    settings->toggleWatchPattern("claude");  // off: appended
    EXPECT_EQ(settings->watchPatterns.get().back(), "claude");

    EXPECT_TRUE(settings->addWatchPattern("  My-Agent \n"));
    EXPECT_FALSE(settings->addWatchPattern("my-agent"));
    EXPECT_FALSE(settings->addWatchPattern("   "));
    EXPECT_EQ(settings->watchPatterns.get().back(), "My-Agent");
    EXPECT_EQ(settings->watchPatternChips().back().pattern, "My-Agent");
    EXPECT_TRUE(settings->watchPatternChips().back().on);
    EXPECT_EQ(onDisk()["watchPatterns"].back(), "My-Agent");

    settings->resetWatchPatterns();
    EXPECT_EQ(writes, 4);
    EXPECT_EQ(onDisk()["watchPatterns"], json(defaultWatchPatterns()));
    EXPECT_EQ(open()->watchPatterns.get(), defaultWatchPatterns());
}

// 151 distinct patterns of `length` bytes; at 214 the list's JSON text is
// exactly the 32 KiB allowed.
Patterns fullWatchList(std::size_t length = 214) {
    Patterns list;
    for (int i = 0; i < 151; ++i) list.push_back(fmt::format("{:03}", i) + std::string(length - 3, 'x'));
    return list;
}

TEST_F(AppSettingsTest, WatchListWritesAreTidiedOrRefusedAtTheLimits) {
    const std::string longest(kMaxWatchPatternBytes, 'x');
    Patterns controlCharacters;  // 5,632 bytes, 33,749 on the wire
    for (char c = 'a'; c < 'a' + 22; ++c) controlCharacters.push_back(std::string(255, '\x01') + c);
    const struct {
        Patterns written;
        std::optional<Patterns> stored;  // nullopt: refused
        std::string refusal;
    } cases[] = {
        {{" a ", "", "\n\t", "b", "a"}, Patterns{"a", "b"}, ""},
        {{" " + longest + "\n"}, Patterns{longest}, ""},
        {{"a", longest + "y"}, std::nullopt, "a watch pattern is longer than 256 bytes"},
        {fullWatchList(), fullWatchList(), ""},
        {fullWatchList(215), std::nullopt, "the watch list would be longer than 32768 bytes"},
        // Control characters count as the six bytes each takes on the wire.
        {controlCharacters, std::nullopt, "the watch list would be longer than 32768 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refusal);
        auto settings = open();
        settings->watchPatterns.set({"before"});
        int published = 0;
        Handle subscription = settings->watchPatterns.subscribe([&](const Patterns&) { ++published; });
        const auto refusal = settings->watchPatterns.set(c.written);
        if (c.stored) {
            EXPECT_EQ(refusal, std::nullopt);
            EXPECT_EQ(settings->watchPatterns.get(), *c.stored);
            EXPECT_EQ(onDisk()["watchPatterns"], json(*c.stored));
        } else {
            EXPECT_EQ(refusal, c.refusal);
            EXPECT_EQ(published, 0);
            EXPECT_EQ(settings->watchPatterns.get(), Patterns{"before"});
            EXPECT_EQ(onDisk()["watchPatterns"], json(Patterns{"before"}));
        }
    }
    // The settings window's edits obey the same limits.
    auto settings = open();
    settings->watchPatterns.set(fullWatchList());
    EXPECT_FALSE(settings->addWatchPattern("one-more"));
    EXPECT_TRUE(settings->toggleWatchPattern("one-more").has_value());
    EXPECT_EQ(settings->watchPatterns.get(), fullWatchList());
}

TEST_F(AppSettingsTest, AStoredWatchListOverTheLimitsLoadsCutToThem) {
    auto stored = fullWatchList();
    stored.insert(stored.begin() + 1, std::string(300, 'y'));
    stored.push_back("over");
    store(json({{"watchPatterns", stored}, {"pollInterval", 9}}).dump());
    auto settings = open();
    EXPECT_EQ(settings->watchPatterns.get(), fullWatchList());
    EXPECT_EQ(settings->pollInterval.get(), 9);
    ASSERT_EQ(logs.lines().size(), 1u);
    EXPECT_TRUE(logs.lines()[0].starts_with("Settings: error: The stored watch list is over its limits"));
}

TEST_F(AppSettingsTest, ManyQuickWritesLeaveTheNewestOnDisk) {
    auto settings = open();
    for (int i = 1; i <= 500; ++i) {
        settings->pollInterval.set(i);
        settings->ntfyTopic.set("topic-" + std::to_string(i));
    }
    EXPECT_EQ(onDisk()["pollInterval"], 500);
    EXPECT_EQ(onDisk()["ntfyTopic"], "topic-500");
    EXPECT_EQ(open()->pollInterval.get(), 500);
}

}  // namespace
}  // namespace vigilo
