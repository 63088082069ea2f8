#include "platform/linux/safety/privileged_fan_writer.h"

#include <system_error>

#include <nlohmann/json.hpp>

#include "platform/linux/safety/sysfs_attribute.h"
#include "safety/restore_record.h"

namespace vigilo {
namespace {

namespace fs = std::filesystem;
using Status = PrivilegedRunner::Result::Status;

// What most chips use for automatic control; 1 is manual, so a fan found in
// manual mode before we touched it gets this back instead.
constexpr std::int64_t kPwmAutomatic = 2;
constexpr std::int64_t kPwmManual = 1;
constexpr std::int64_t kMaxPwmEnable = 9;

// hwmonN numbers change between boots: the device's own path names the
// chip, and a chip that is gone after a reboot is simply not found.
std::string devicePath(const fs::path& chip) {
    std::error_code error;
    const fs::path resolved = fs::canonical(chip, error);
    return (error ? chip : resolved).string();
}

std::string recordKey(const std::string& chip, int index) {
    return PrivilegedFanWriter::kRecordKeyPrefix + chip + " " + std::to_string(index);
}

}  // namespace

PrivilegedFanWriter::PrivilegedFanWriter(PrivilegedRunner& helper, RestoreRecord& record, Consent consent)
    : helper_(helper), record_(record), consent_(consent) {}

bool PrivilegedFanWriter::setManual(const HwmonInventory::Fan& fan, long value) {
    const std::string chip = devicePath(fan.chip);
    std::lock_guard lock(mutex_);
    bool recordedNow = false;
    if (!record(fan, chip, recordedNow)) return false;
    const auto result = helper_.runAndWait({"fan", "manual", chip, std::to_string(fan.index), std::to_string(value)},
                                           consent_);
    if (result.ok()) return true;
    // Nothing ran, so there is nothing to give back; after a failure the
    // fan may be half switched, and the entry stays.
    const bool untouched =
        result.status == Status::notAllowed || result.status == Status::refused || result.status == Status::busy;
    if (untouched && recordedNow) record_.erase(recordKey(chip, fan.index));
    log_.error("Fan {} {} manual speed {} {}: {}", chip, fan.index, value, untouched ? "skipped" : "failed",
               result.message);
    return false;
}

// Only fans with an automatic mode have something to give back.
bool PrivilegedFanWriter::record(const HwmonInventory::Fan& fan, const std::string& chip, bool& recordedNow) {
    if (!fan.hasPwm && !fan.hasAppleSmc) return true;
    const std::string key = recordKey(chip, fan.index);
    if (record_.get(key)) return true;
    std::int64_t enable = 0;
    if (fan.hasPwm) {
        enable = readIntegerAttribute(fan.pwmFile("_enable")).value_or(kPwmAutomatic);
        if (enable == kPwmManual || enable < 0 || enable > kMaxPwmEnable) enable = kPwmAutomatic;
    }
    if (!record_.put(key, {{"chip", chip}, {"index", fan.index}, {"pwmEnable", enable}})) {
        log_.error("Fan {} {} left alone: its automatic setting could not be recorded", chip, fan.index);
        return false;
    }
    recordedNow = true;
    return true;
}

bool PrivilegedFanWriter::setAutomatic(const HwmonInventory::Fan& fan) {
    const std::string key = recordKey(devicePath(fan.chip), fan.index);
    std::lock_guard lock(mutex_);
    const auto entry = record_.get(key);
    return !entry || giveBack(key, *entry);
}

void PrivilegedFanWriter::restoreAll() {
    std::lock_guard lock(mutex_);
    for (const auto& [key, entry] : record_.entries()) {
        if (key.starts_with(kRecordKeyPrefix)) giveBack(key, entry);
    }
}

// The record may have been edited by hand: anything but the three fields
// we wrote is dropped, never trusted.
bool PrivilegedFanWriter::giveBack(const std::string& key, const nlohmann::json& entry) {
    const auto chipField = entry.find("chip");
    const auto indexField = entry.find("index");
    const auto enableField = entry.find("pwmEnable");
    if (chipField == entry.end() || !chipField->is_string() || indexField == entry.end() ||
        !indexField->is_number_integer() || enableField == entry.end() || !enableField->is_number_integer()) {
        log_.error("Fan record {} is unreadable; dropped", key);
        record_.erase(key);
        return true;
    }
    const auto chip = chipField->get<std::string>();
    const auto index = indexField->get<std::int64_t>();
    const auto enableValue = enableField->get<std::int64_t>();
    const auto result =
        helper_.runAndWait({"fan", "auto", chip, std::to_string(index), std::to_string(enableValue)}, consent_);
    switch (result.status) {
        case Status::done:
            log_.info("Fan {} {} back to automatic control ({})", chip, index, enableValue);
            record_.erase(key);
            return true;
        case Status::refused:
            // The chip is gone (a reboot renumbered it, the driver went): it
            // starts in its own automatic mode, there is nothing to give back.
            log_.error("Fan {} {} no longer there to restore: {}", chip, index, result.message);
            record_.erase(key);
            return true;
        case Status::notAllowed:
        case Status::busy:
            log_.error("Fan {} {} restore skipped ({}); the next launch tries again", chip, index, result.message);
            return false;
        case Status::failed: break;
    }
    log_.error("Fan {} {} restore failed: {}", chip, index, result.message);
    return false;
}

}  // namespace vigilo
