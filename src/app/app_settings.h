#pragma once

#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/push_provider.h"
#include "app/setting.h"
#include "app/watch_pattern_chips.h"
#include "support/log.h"
#include "support/serial_writer.h"

namespace vigilo {

// The public ntfy service, the default push server.
inline constexpr const char* kDefaultNtfyServer = "https://ntfy.sh";

// Every user preference, published so the controller, the menu and the
// windows react to changes, and kept in `preferences.json` in the folder
// given: a JSON object with one key per property, named like it. A key never
// written, or null, reads as its default. A value the setting cannot use (of
// the wrong type, or a provider name that is none of the three) reads as the
// default too and is logged; it stays in the file, and the file is copied to
// "preferences.json.bad" before a write replaces it. Values only adjusted at
// load are used adjusted and are neither logged nor copied. Every write saves
// the whole file at once, atomically, through `writer` (which must outlive
// this object). One instance for the life of the application; main thread
// only.
class AppSettings {
    // Declared first: the settings below are initialised from them.
    Logger log_{"Settings"};
    std::filesystem::path file_;
    SerialWriter& writer_;
    bool keepOriginal_ = false;  // put the file aside before the first write replaces it
    nlohmann::json stored_;      // the file's contents as last written or read; sets keepOriginal_
    // Keys whose stored value could not be used: writing one puts the file
    // aside first, as keepOriginal_ does for the whole file.
    std::set<std::string> unusableKeys_;

public:
    AppSettings(const std::filesystem::path& preferencesDir, SerialWriter& writer);
    AppSettings(const AppSettings&) = delete;
    AppSettings& operator=(const AppSettings&) = delete;

    Setting<bool> preventDisplaySleep;
    Setting<int> batteryThreshold;  // percent
    Setting<bool> warnOnBattery;
    Setting<bool> launchAtLogin;
    Setting<std::vector<std::string>> watchPatterns;
    Setting<int> pollInterval;  // seconds; at least 1 when loaded
    Setting<bool> useCpuDetection;
    Setting<double> cpuThresholdPercent;  // percent of one core; at least 0 when loaded
    Setting<bool> useGpuDetection;
    Setting<double> gpuThresholdPercent;  // percent of the busiest GPU engine; 0…100 when loaded
    Setting<int> idleHoldoffSeconds;      // at least 5 when loaded
    Setting<bool> hasCompletedOnboarding;
    Setting<bool> thermalAutoStopClamshell;
    Setting<int> warnBatteryThreshold;        // percent
    Setting<int> criticalBatteryThreshold;    // percent
    Setting<int> forceSleepBatteryThreshold;  // percent
    Setting<bool> autoMaxFanOnCritical;
    Setting<bool> smartRulesEnabled;
    Setting<bool> notifyOnComplete;
    Setting<PushProvider> pushProvider;
    Setting<std::string> ntfyServer;
    Setting<std::string> ntfyTopic;
    Setting<std::string> pushoverToken;
    Setting<std::string> pushoverUser;
    // Whether the person last chose Auto Mode: the next launch starts it
    // again. Only Auto Mode comes back; a plain keep-awake or a timer never
    // outlives the run that started it.
    Setting<bool> autoModeAtLaunch;
    // Publishing this computer's state to an MQTT broker (the password is in
    // the credential store, never here). mqttBroker is "mqtt://host[:port]"
    // or "mqtts://host[:port]"; mqttCAFile empty means the system's CAs.
    Setting<bool> mqttEnabled;
    Setting<std::string> mqttBroker;
    Setting<std::string> mqttUsername;
    Setting<std::string> mqttTopicPrefix;
    Setting<std::string> mqttDiscoveryPrefix;
    Setting<bool> mqttAcceptCommands;
    Setting<std::string> mqttCAFile;

    // The settings window's watch-list editing; each change is one write of
    // the whole list. Like every write of `watchPatterns`, a change beyond
    // the limits of watch_list_limits.h is refused and stores nothing.
    std::vector<WatchPatternChip> watchPatternChips() const;
    // Returns why the change was refused, if it was.
    std::optional<std::string> toggleWatchPattern(const std::string& pattern);
    // Returns whether the trimmed pattern was new and got added.
    bool addWatchPattern(std::string_view typed);
    void resetWatchPatterns();

    const std::filesystem::path& preferencesFile() const { return file_; }

    // Reads the file again after an edit by hand and publishes what changed,
    // load-adjusted as at start, without writing anything back. A file that
    // is gone or cannot be used changes nothing and is logged. Returns
    // whether it was read.
    bool reload();

private:
    // The stored value of `key`, or `fallback` when it is unset or cannot be
    // used; the latter is logged and noted in unusableKeys_.
    template <class T>
    T storedOr(const char* key, T fallback);
    template <class T>
    Setting<T> bind(const char* key, T fallback, T (*adjust)(T) = nullptr);
    Setting<std::vector<std::string>> bindWatchPatterns();
    void save(const std::string& key, nlohmann::json value);
    void keepFileAsItWas();
};

}  // namespace vigilo
