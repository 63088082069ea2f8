// The preferences reader over the bytes of a hand-edited or damaged file.
// Whatever it keeps must survive being written back: saving a setting
// rewrites the whole file, and the next start must read the same settings.

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "app/app_settings.h"
#include "app/preferences_file.h"
#include "fuzz_support.h"
#include "support/log.h"

using namespace vigilo;
using nlohmann::json;

namespace {

// AppSettings reads only files: one private folder, on tmpfs when there is one.
std::filesystem::path folder;

json loaded(const AppSettings& s) {
    return {s.preventDisplaySleep.get(), s.batteryThreshold.get(), s.warnOnBattery.get(), s.launchAtLogin.get(),
            s.watchPatterns.get(), s.pollInterval.get(), s.useCpuDetection.get(), s.cpuThresholdPercent.get(),
            s.idleHoldoffSeconds.get(), s.hasCompletedOnboarding.get(), s.thermalAutoStopClamshell.get(),
            s.warnBatteryThreshold.get(), s.criticalBatteryThreshold.get(), s.forceSleepBatteryThreshold.get(),
            s.autoMaxFanOnCritical.get(), s.smartRulesEnabled.get(), s.notifyOnComplete.get(),
            pushProviderName(s.pushProvider.get()), s.ntfyServer.get(), s.ntfyTopic.get(), s.pushoverToken.get(),
            s.pushoverUser.get()};
}

void checkSettingsSurviveAWrite(std::string_view text) {
    static SerialWriter writer;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    std::ofstream(folder / kPreferencesFileName, std::ios::binary) << text;

    AppSettings settings(folder, writer);
    fuzz::require(settings.pollInterval.get() >= 1 && settings.idleHoldoffSeconds.get() >= 5 &&
                      settings.cpuThresholdPercent.get() >= 0,
                  "the load adjustments hold");
    const json before = loaded(settings);
    settings.batteryThreshold.set(settings.batteryThreshold.get());
    writer.flush();
    fuzz::require(loaded(AppSettings(folder, writer)) == before, "writing one setting keeps every other");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setLogSink(nullptr);
    std::string pattern = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/vigilo-fuzz-XXXXXX");
    fuzz::require(mkdtemp(pattern.data()) != nullptr, "a private folder can be made");
    folder = pattern;
    std::atexit([] { std::filesystem::remove_all(folder); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::textOf(data, size);
    const PreferencesContents contents = parsePreferencesText(text);
    fuzz::require(contents.values.is_object(), "the values are an object");
    fuzz::require(contents.problem.empty() != contents.keepOriginal, "a problem is given exactly when the file is kept");

    // As AppSettings saves them.
    const std::string written = contents.values.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
    const PreferencesContents reread = parsePreferencesText(written);
    fuzz::require(!reread.keepOriginal, "what is written back reads without a problem");
    fuzz::require(reread.values.size() == contents.values.size(), "what is written back keeps every key");

    // Only files with values can hold anything but defaults.
    if (!contents.values.empty()) checkSettingsSurviveAWrite(text);
    return 0;
}
