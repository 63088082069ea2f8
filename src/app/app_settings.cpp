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

// Typed readers of one stored key: nullopt when the key is missing or its
// value has another type, so that key alone falls back to its default.
template <class T>
std::optional<T> readStored(const json& values, const char* key);

template <>
std::optional<bool> readStored(const json& values, const char* key) {
    auto it = values.find(key);
    if (it == values.end() || !it->is_boolean()) return std::nullopt;
    return it->get<bool>();
}

template <>
std::optional<int> readStored(const json& values, const char* key) {
    try {
        const auto value = optionalInt64(values, key);
        if (!value || *value < std::numeric_limits<int>::min() || *value > std::numeric_limits<int>::max()) {
            return std::nullopt;
        }
        return static_cast<int>(*value);
    } catch (const JsonTypeError&) {
        return std::nullopt;
    }
}

template <>
std::optional<double> readStored(const json& values, const char* key) {
    auto it = values.find(key);
    if (it == values.end() || !it->is_number()) return std::nullopt;
    const double value = it->get<double>();
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

template <>
std::optional<std::string> readStored(const json& values, const char* key) {
    auto it = values.find(key);
    if (it == values.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

template <>
std::optional<std::vector<std::string>> readStored(const json& values, const char* key) {
    try {
        return optionalStringArray(values, key);
    } catch (const JsonTypeError&) {
        return std::nullopt;
    }
}

template <>
std::optional<PushProvider> readStored(const json& values, const char* key) {
    // Any text that is not exactly one of the three names means none.
    auto name = readStored<std::string>(values, key);
    if (!name) return std::nullopt;
    return pushProviderFromName(*name).value_or(PushProvider::none);
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
      pushoverUser(bind("pushoverUser", std::string())) {}

template <class T>
Setting<T> AppSettings::bind(const char* key, T fallback, T (*adjust)(T)) {
    // Adjusted values are only what is used; the file keeps what was stored
    // until the property is written.
    auto read = [this, key, fallback = std::move(fallback), adjust] {
        T value = readStored<T>(stored_, key).value_or(fallback);
        return adjust ? adjust(std::move(value)) : value;
    };
    return Setting<T>(key, std::move(read), [this](const std::string& k, const T& v) { save(k, toStoredJson(v)); });
}

Setting<std::vector<std::string>> AppSettings::bindWatchPatterns() {
    const char* key = "watchPatterns";
    auto read = [this, key] {
        auto patterns = readStored<std::vector<std::string>>(stored_, key).value_or(defaultWatchPatterns());
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
    const auto reloadEach = [](auto&... settings) { (settings.reload(), ...); };
    reloadEach(preventDisplaySleep, batteryThreshold, warnOnBattery, launchAtLogin, watchPatterns, pollInterval,
               useCpuDetection, cpuThresholdPercent, idleHoldoffSeconds, hasCompletedOnboarding,
               thermalAutoStopClamshell, warnBatteryThreshold, criticalBatteryThreshold, forceSleepBatteryThreshold,
               autoMaxFanOnCritical, smartRulesEnabled, notifyOnComplete, pushProvider, ntfyServer, ntfyTopic,
               pushoverToken, pushoverUser);
    log_.info("Preferences reloaded from {}", file_.string());
    return true;
}

void AppSettings::save(const std::string& key, json value) {
    if (std::exchange(keepOriginal_, false)) {
        if (auto error = keepRejectedCopy(file_)) log_.error("{}", *error);
    }
    stored_[key] = std::move(value);
    // Replacing is for text the user typed that is not UTF-8; it must not
    // stop the whole file from being written.
    std::string text = stored_.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
    // Push tokens live here: readable by the user only.
    writer_.write(file_, std::move(text), 0600, [log = log_, file = file_](const std::optional<std::string>& error) {
        if (error) log.error("Cannot save preferences to {}: {}", file.string(), *error);
    });
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
