#include "app/app_settings.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "app/preferences_file.h"
#include "app/watch_list_limits.h"
#include "detection/default_patterns.h"
#include "support/json_wire.h"
#include "support/rejected_file.h"

namespace vigilo {

using nlohmann::json;

namespace {

// One stored key as a setting reads it. A missing key, or null, is simply
// unset. A value the setting cannot use leaves `value` empty and names in
// `expected` what it should have been, so the fallback can be reported.
template <class T>
struct StoredValue {
    std::optional<T> value;
    const char* expected = nullptr;
};

// `read` gives the usable value, or nullopt or JsonTypeError when the value
// is there but not usable.
template <class T, class Read>
StoredValue<T> storedValue(const json& values, const char* key, const char* expected, Read read) {
    const auto it = values.find(key);
    if (it == values.end() || it->is_null()) return {};
    try {
        if (std::optional<T> value = read()) return {std::move(value)};
    } catch (const JsonTypeError&) {
    }
    return {std::nullopt, expected};
}

template <class T>
StoredValue<T> readStored(const json& values, const char* key);

template <>
StoredValue<bool> readStored(const json& values, const char* key) {
    return storedValue<bool>(values, key, "true or false", [&] { return optionalBool(values, key); });
}

template <>
StoredValue<int> readStored(const json& values, const char* key) {
    return storedValue<int>(values, key, "a whole number from -2147483648 to 2147483647", [&]() -> std::optional<int> {
        const auto value = optionalInt64(values, key).value();
        if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) return std::nullopt;
        return static_cast<int>(value);
    });
}

template <>
StoredValue<double> readStored(const json& values, const char* key) {
    return storedValue<double>(values, key, "a number", [&]() -> std::optional<double> {
        const auto value = optionalDouble(values, key).value();
        if (!std::isfinite(value)) return std::nullopt;
        return value;
    });
}

template <>
StoredValue<std::string> readStored(const json& values, const char* key) {
    return storedValue<std::string>(values, key, "a text", [&] { return optionalString(values, key); });
}

template <>
StoredValue<std::vector<std::string>> readStored(const json& values, const char* key) {
    return storedValue<std::vector<std::string>>(values, key, "a list of texts",
                                                 [&] { return optionalStringArray(values, key); });
}

// Only the three names, exactly as written, are a provider.
template <>
StoredValue<PushProvider> readStored(const json& values, const char* key) {
    return storedValue<PushProvider>(values, key, R"(one of "none", "ntfy" and "pushover")",
                                     [&] { return pushProviderFromName(optionalString(values, key).value()); });
}

template <class T>
json toStoredJson(const T& value) {
    return json(value);
}

template <>
json toStoredJson(const PushProvider& value) {
    return json(std::string(pushProviderName(value)));
}

int atLeastOneSecond(int seconds) { return std::max(seconds, 1); }
int atLeastFiveSeconds(int seconds) { return std::max(seconds, 5); }
double notNegative(double percent) { return std::max(percent, 0.0); }
double aPercentage(double percent) { return std::clamp(percent, 0.0, 100.0); }

}  // namespace

AppSettings::AppSettings(const std::filesystem::path& preferencesDir, SerialWriter& writer)
    : file_(preferencesDir / kPreferencesFileName),
      writer_(writer),
      stored_([this] {
          auto contents = readPreferencesFile(file_);
          if (!contents.problem.empty()) {
              log_.error("Preferences file {} {}; its unusable values read as defaults", file_.string(),
                         contents.problem);
          }
          keepOriginal_ = contents.keepOriginal;
          return std::move(contents.values);
      }()),
      preventDisplaySleep(bind("preventDisplaySleep", false)),
      batteryThreshold(bind("batteryThreshold", 20)),
      warnOnBattery(bind("warnOnBattery", true)),
      launchAtLogin(bind("launchAtLogin", false)),
      watchPatterns(bindWatchPatterns()),
      pollInterval(bind("pollInterval", 3, atLeastOneSecond)),
      useCpuDetection(bind("useCpuDetection", true)),
      cpuThresholdPercent(bind("cpuThresholdPercent", 5.0, notNegative)),
      useGpuDetection(bind("useGpuDetection", true)),
      gpuThresholdPercent(bind("gpuThresholdPercent", 10.0, aPercentage)),
      idleHoldoffSeconds(bind("idleHoldoffSeconds", 60, atLeastFiveSeconds)),
      hasCompletedOnboarding(bind("hasCompletedOnboarding", false)),
      thermalAutoStopClamshell(bind("thermalAutoStopClamshell", true)),
      warnBatteryThreshold(bind("warnBatteryThreshold", 10)),
      criticalBatteryThreshold(bind("criticalBatteryThreshold", 5)),
      forceSleepBatteryThreshold(bind("forceSleepBatteryThreshold", 3)),
      autoMaxFanOnCritical(bind("autoMaxFanOnCritical", true)),
      smartRulesEnabled(bind("smartRulesEnabled", false)),
      notifyOnComplete(bind("notifyOnComplete", true)),
      pushProvider(bind("pushProvider", PushProvider::none)),
      ntfyServer(bind("ntfyServer", std::string(kDefaultNtfyServer))),
      ntfyTopic(bind("ntfyTopic", std::string())),
      pushoverToken(bind("pushoverToken", std::string())),
      pushoverUser(bind("pushoverUser", std::string())),
      autoModeAtLaunch(bind("autoModeAtLaunch", false)),
      mqttEnabled(bind("mqttEnabled", false)),
      mqttBroker(bind("mqttBroker", std::string())),
      mqttUsername(bind("mqttUsername", std::string())),
      mqttTopicPrefix(bind("mqttTopicPrefix", std::string("vigilo"))),
      mqttDiscoveryPrefix(bind("mqttDiscoveryPrefix", std::string("homeassistant"))),
      mqttAcceptCommands(bind("mqttAcceptCommands", true)),
      mqttCAFile(bind("mqttCAFile", std::string())) {}

template <class T>
T AppSettings::storedOr(const char* key, T fallback) {
    auto stored = readStored<T>(stored_, key);
    if (stored.expected) {
        log_.error("Preferences file {}: \"{}\" is not {}; using the default", file_.string(), key, stored.expected);
        unusableKeys_.insert(key);
    }
    return stored.value ? std::move(*stored.value) : std::move(fallback);
}

template <class T>
Setting<T> AppSettings::bind(const char* key, T fallback, T (*adjust)(T)) {
    // Adjusted values are only what is used; the file keeps what was stored
    // until the property is written.
    auto read = [this, key, fallback = std::move(fallback), adjust] {
        T value = storedOr(key, fallback);
        return adjust ? adjust(std::move(value)) : value;
    };
    return Setting<T>(key, std::move(read), [this](const std::string& k, const T& v) { save(k, toStoredJson(v)); });
}

Setting<std::vector<std::string>> AppSettings::bindWatchPatterns() {
    const char* key = "watchPatterns";
    auto read = [this, key] {
        auto patterns = storedOr(key, defaultWatchPatterns());
        if (const auto dropped = fitWatchList(patterns)) {
            log_.error("The stored watch list is over its limits ({} bytes a pattern, {} bytes in all); {} "
                       "pattern(s) left out",
                       kMaxWatchPatternBytes, kMaxWatchListBytes, dropped);
        }
        return patterns;
    };
    return Setting<std::vector<std::string>>(
        key, std::move(read),
        [this](const std::string& k, const std::vector<std::string>& v) { save(k, toStoredJson(v)); },
        tidyWatchList);
}

bool AppSettings::reload() {
    std::error_code ignored;
    if (!std::filesystem::exists(file_, ignored)) {
        log_.error("Preferences not reloaded: {} is gone", file_.string());
        return false;
    }
    auto contents = readPreferencesFile(file_);
    if (!contents.problem.empty()) {
        log_.error("Preferences not reloaded: {} {}", file_.string(), contents.problem);
        return false;
    }
    stored_ = std::move(contents.values);
    // This file is read whole: nothing of an earlier one is left to keep.
    keepOriginal_ = false;
    unusableKeys_.clear();
    const auto reloadEach = [](auto&... settings) { (settings.reload(), ...); };
    reloadEach(preventDisplaySleep, batteryThreshold, warnOnBattery, launchAtLogin, watchPatterns, pollInterval,
               useCpuDetection, cpuThresholdPercent, idleHoldoffSeconds, hasCompletedOnboarding,
               useGpuDetection, gpuThresholdPercent,
               thermalAutoStopClamshell, warnBatteryThreshold, criticalBatteryThreshold, forceSleepBatteryThreshold,
               autoMaxFanOnCritical, smartRulesEnabled, notifyOnComplete, pushProvider, ntfyServer, ntfyTopic,
               pushoverToken, pushoverUser, autoModeAtLaunch, mqttEnabled, mqttBroker, mqttUsername,
               mqttTopicPrefix, mqttDiscoveryPrefix, mqttAcceptCommands, mqttCAFile);
    log_.info("Preferences reloaded from {}", file_.string());
    return true;
}

void AppSettings::save(const std::string& key, json value) {
    if (keepOriginal_ || unusableKeys_.contains(key)) keepFileAsItWas();
    stored_[key] = std::move(value);
    // Replacing is for text the user typed that is not UTF-8; it must not
    // stop the whole file from being written.
    std::string text = stored_.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
    // Push tokens live here: readable by the user only.
    writer_.write(file_, std::move(text), 0600, [log = log_, file = file_](const std::optional<std::string>& error) {
        if (error) log.error("Cannot save preferences to {}: {}", file.string(), *error);
    });
}

// Once per reading of the file: a second copy would put a file this program
// wrote in place of the one the user had.
void AppSettings::keepFileAsItWas() {
    keepOriginal_ = false;
    unusableKeys_.clear();
    if (auto error = keepRejectedCopy(file_)) {
        log_.error("{}", *error);
        return;
    }
    log_.info("Preferences file {} copied to {}{} before this save replaces it", file_.string(), file_.string(),
              kRejectedFileSuffix);
}

std::vector<WatchPatternChip> AppSettings::watchPatternChips() const {
    return vigilo::watchPatternChips(defaultWatchPatterns(), watchPatterns.get());
}

std::optional<std::string> AppSettings::toggleWatchPattern(const std::string& pattern) {
    return watchPatterns.set(toggledWatchPattern(watchPatterns.get(), pattern));
}

bool AppSettings::addWatchPattern(std::string_view typed) {
    auto patterns = withAddedWatchPattern(watchPatterns.get(), typed);
    return patterns && !watchPatterns.set(std::move(*patterns));
}

void AppSettings::resetWatchPatterns() { watchPatterns.set(defaultWatchPatterns()); }

}  // namespace vigilo
