#include "platform/linux/safety/hwmon_smc_transport.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/helper_verbs.h"
#include "platform/linux/safety/sysfs_attribute.h"
#include "safety/smc.h"

namespace vigilo {

namespace {

// Beyond this a speed or temperature file holds garbage, not a reading.
constexpr std::int64_t kMaxRPM = 100000;
constexpr std::int64_t kMaxMilliC = 1000000;

std::optional<std::int64_t> readRPM(const std::filesystem::path& file) {
    auto rpm = readIntegerAttribute(file);
    if (!rpm || *rpm < 0 || *rpm > kMaxRPM) return std::nullopt;
    return rpm;
}

}  // namespace

HwmonSMCTransport::HwmonSMCTransport(std::filesystem::path root, PrivilegedFanWriter* writer)
    : root_(std::move(root)), writer_(writer) {}

SMCTransport::OpenResult HwmonSMCTransport::open() {
    inventory_ = HwmonInventory::scan(root_);
    open_ = !inventory_.empty();
    return OpenResult{open_, 0};
}

void HwmonSMCTransport::close() { open_ = false; }

int HwmonSMCTransport::callStructMethod(std::uint32_t selector, const SMCKeyData& input, SMCKeyData& output) {
    if (selector != kSMCKernelIndex) return kReturnUnsupported;
    if (!open_) return kReturnNotOpen;
    const std::string key = SMC::fourCharString(input.key);
    switch (input.data8) {
        case kSMCCmdReadKeyInfo:
            if (auto info = keyInfo(key)) {
                output.keyInfo.dataSize = info->size;
                output.keyInfo.dataType = SMC::fourCharCode(info->type);
                output.result = kSMCResultSuccess;
            } else {
                output.result = kSMCResultKeyNotFound;
            }
            return 0;
        case kSMCCmdReadBytes: output.result = readBytes(key, output); return 0;
        case kSMCCmdWriteBytes: output.result = write(key, input); return 0;
        default: output.result = kSMCResultError; return 0;
    }
}

std::optional<HwmonSMCTransport::FanKey> HwmonSMCTransport::fanKey(const std::string& key) const {
    if (key.size() != 4 || key[0] != 'F' || key[1] < '0' || key[1] > '9') return std::nullopt;
    auto index = static_cast<std::size_t>(key[1] - '0');
    auto suffix = key.substr(2);
    if (index >= inventory_.fans.size()) return std::nullopt;
    if (suffix != "Ac" && suffix != "Mn" && suffix != "Mx" && suffix != "Tg" && suffix != "Md") return std::nullopt;
    return FanKey{&inventory_.fans[index], suffix};
}

std::optional<HwmonSMCTransport::KeyInfo> HwmonSMCTransport::keyInfo(const std::string& key) const {
    if (key == "FNum") return KeyInfo{"ui8 ", 1};
    if (auto fan = fanKey(key)) return fan->suffix == "Md" ? KeyInfo{"ui8 ", 1} : KeyInfo{"flt ", 4};
    for (std::size_t i = 0; i < kSMCTemperatureKeys.size() && i < inventory_.temperatureInputs.size(); ++i) {
        if (key == kSMCTemperatureKeys[i]) return KeyInfo{"flt ", 4};
    }
    return std::nullopt;
}

std::optional<float> HwmonSMCTransport::readValue(const std::string& key) const {
    if (auto fan = fanKey(key)) {
        const auto& f = *fan->fan;
        if (fan->suffix == "Ac") return readRPM(f.fanFile("input"));
        if (fan->suffix == "Mn") return readRPM(f.fanFile("min"));
        if (fan->suffix == "Mx") return readRPM(f.fanFile("max"));
        if (fan->suffix == "Tg") return readRPM(f.fanFile(f.hasTarget || !f.hasAppleSmc ? "target" : "output"));
        return std::nullopt;
    }
    for (std::size_t i = 0; i < kSMCTemperatureKeys.size() && i < inventory_.temperatureInputs.size(); ++i) {
        if (key != kSMCTemperatureKeys[i]) continue;
        auto milliC = readIntegerAttribute(inventory_.temperatureInputs[i]);
        if (!milliC || std::abs(*milliC) > kMaxMilliC) return std::nullopt;
        return static_cast<float>(static_cast<double>(*milliC) / 1000.0);
    }
    return std::nullopt;
}

std::uint8_t HwmonSMCTransport::readBytes(const std::string& key, SMCKeyData& output) const {
    if (key == "FNum") {
        output.bytes[0] = static_cast<std::uint8_t>(std::min<std::size_t>(inventory_.fans.size(), 255));
        return kSMCResultSuccess;
    }
    auto info = keyInfo(key);
    if (!info) return kSMCResultKeyNotFound;
    if (std::strcmp(info->type, "flt ") != 0) return kSMCResultError;  // FnMd is write-only here
    auto value = readValue(key);
    if (!value) return kSMCResultError;
    std::memcpy(output.bytes, &*value, sizeof(float));
    return kSMCResultSuccess;
}

std::uint8_t HwmonSMCTransport::write(const std::string& key, const SMCKeyData& input) {
    auto fan = fanKey(key);
    if (!fan || (fan->suffix != "Md" && fan->suffix != "Tg")) return kSMCResultError;
    const auto count = std::min<std::uint32_t>(input.keyInfo.dataSize, sizeof input.bytes);
    SMC::Value value{key, SMC::fourCharString(input.keyInfo.dataType), input.keyInfo.dataSize,
                     std::vector<std::uint8_t>(input.bytes, input.bytes + count)};
    if (fan->suffix == "Md") {
        if (value.bytes.empty()) return kSMCResultError;
        return writeMode(*fan->fan, value.bytes[0]) ? kSMCResultSuccess : kSMCResultError;
    }
    auto rpm = SMCDecode::number(value);
    if (!rpm) return kSMCResultError;
    return writeTarget(*fan->fan, *rpm) ? kSMCResultSuccess : kSMCResultError;
}

// Manual mode is taken together with the speed, in one helper run: on its
// own it would be one more run, and one more password prompt, per fan.
bool HwmonSMCTransport::writeMode(const HwmonInventory::Fan& fan, std::uint8_t mode) {
    if (mode > 1 || writer_ == nullptr) return false;
    return mode == 1 || writer_->setAutomatic(fan);
}

bool HwmonSMCTransport::writeTarget(const HwmonInventory::Fan& fan, double rpm) {
    if (!(rpm >= 0 && rpm <= static_cast<double>(kMaxRPM)) || writer_ == nullptr) return false;
    std::error_code error;
    if (!std::filesystem::exists(fan.pwmFile(), error)) return writer_->setManual(fan, std::lround(rpm));
    // The helper drives pwmN wherever the chip has it, even beside a speed
    // target: the speed becomes a duty cycle in proportion within the fan's
    // range, which needs the range. The range's bottom would be a duty
    // cycle of 0, at which many fans stand still: no preset goes below the
    // fan's floor.
    auto minimum = readRPM(fan.fanFile("min")).value_or(0);
    auto maximum = readRPM(fan.fanFile("max"));
    if (!maximum || *maximum <= minimum) return false;
    double fraction = (rpm - static_cast<double>(minimum)) / static_cast<double>(*maximum - minimum);
    const long duty = std::lround(std::clamp(fraction, 0.0, 1.0) * static_cast<double>(kFanFullScalePwm));
    return writer_->setManual(fan, std::max<long>(duty, fan.lowestPresetPwm()));
}

}  // namespace vigilo
