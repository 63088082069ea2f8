#include "helper/fan_writes.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <system_error>

#include <fmt/format.h>

#include "platform/helper_verbs.h"

namespace vigilo {
namespace {

namespace fs = std::filesystem;

// Chip names repeat across devices, so the caller names the device itself.
// It is accepted only when it resolves to the same folder as one of the
// class/hwmon entries: a symlink or ".." elsewhere resolves somewhere else.
std::optional<fs::path> resolveChip(const std::string& chipPath, const fs::path& sysRoot) {
    std::error_code error;
    const fs::path chip = fs::canonical(chipPath, error);
    if (error) return std::nullopt;
    for (const auto& entry : fs::directory_iterator(sysRoot / "class" / "hwmon", error)) {
        const fs::path device = fs::canonical(entry.path(), error);
        if (!error && device == chip) return chip;
    }
    return std::nullopt;
}

bool attributeExists(const fs::path& file) {
    std::error_code error;
    return fs::is_regular_file(fs::symlink_status(file, error));
}

std::optional<std::string> writeAttribute(const fs::path& file, long value) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return fmt::format("cannot open {}: {}", file.string(), std::strerror(errno));
    const std::string text = std::to_string(value);
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const int writeErrno = errno;
    ::close(fd);
    if (!written) return fmt::format("cannot write {} to {}: {}", text, file.string(), std::strerror(writeErrno));
    return std::nullopt;
}

// Writes each (attribute, value) in order and stops at the first failure.
HelperOutcome writeInOrder(std::initializer_list<std::pair<fs::path, long>> writes) {
    for (const auto& [file, value] : writes) {
        if (auto error = writeAttribute(file, value)) return {kHelperFailed, *error};
    }
    return {};
}

HelperOutcome refuseChip(const std::string& chipPath) {
    return {kHelperRefused, fmt::format("'{}' is not an hwmon device", chipPath)};
}

}  // namespace

HelperOutcome applyFanManual(const FanManualRequest& request, const HelperRoots& roots) {
    const auto chip = resolveChip(request.chipPath, roots.sys);
    if (!chip) return refuseChip(request.chipPath);
    const std::string pwm = fmt::format("pwm{}", request.index);
    const std::string fan = fmt::format("fan{}", request.index);
    if (attributeExists(*chip / pwm)) {
        if (request.value > kFanFullScalePwm) {
            return {kHelperRefused,
                    fmt::format("fan manual: {} is above the pwm maximum {}", request.value, kFanFullScalePwm)};
        }
        // Whoever asks, root does not stop a fan: a duty cycle this low
        // stalls many of them, and nothing would start them again.
        if (request.value < kFanLowestManualPwm) {
            return {kHelperRefused, fmt::format("fan manual: {} is below the lowest duty cycle {} of {}", request.value,
                                                kFanLowestManualPwm, kFanFullScalePwm)};
        }
        return writeInOrder({{*chip / (pwm + "_enable"), 1}, {*chip / pwm, request.value}});
    }
    if (attributeExists(*chip / (fan + "_target"))) return writeInOrder({{*chip / (fan + "_target"), request.value}});
    if (attributeExists(*chip / (fan + "_manual"))) {
        return writeInOrder({{*chip / (fan + "_manual"), 1}, {*chip / (fan + "_output"), request.value}});
    }
    return {kHelperRefused, fmt::format("fan manual: {} has no fan {} it can drive", request.chipPath, request.index)};
}

HelperOutcome applyFanAuto(const FanAutoRequest& request, const HelperRoots& roots) {
    const auto chip = resolveChip(request.chipPath, roots.sys);
    if (!chip) return refuseChip(request.chipPath);
    const fs::path enable = *chip / fmt::format("pwm{}_enable", request.index);
    if (attributeExists(enable)) return writeInOrder({{enable, request.enableValue}});
    const fs::path manual = *chip / fmt::format("fan{}_manual", request.index);
    if (attributeExists(manual)) return writeInOrder({{manual, 0}});
    return {kHelperRefused,
            fmt::format("fan auto: {} has no automatic control for fan {}", request.chipPath, request.index)};
}

}  // namespace vigilo
