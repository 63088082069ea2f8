#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/linux/safety/hwmon_inventory.h"
#include "platform/linux/safety/privileged_fan_writer.h"
#include "platform/smc_transport.h"

namespace vigilo {

// Plays the System Management Controller on top of the hardware-monitoring
// class. It answers key-info, read and write requests for the fan keys
// (FNum, FnAc, FnMn, FnMx, FnTg, FnMd) and the 14 temperature keys, which
// map in order to the processor and graphics die sensors. Speeds and
// temperatures are answered as "flt ", FNum as "ui8 ". Writes need root and
// go through the privileged fan writer: without one, or when it cannot make
// the write, the request answers with a non-zero result.
//
// The chips are looked up when the connection opens; with no fan and no die
// sensor there is nothing to open. Called under the SMC access's lock only.
class HwmonSMCTransport final : public SMCTransport {
public:
    explicit HwmonSMCTransport(std::filesystem::path root = "/sys/class/hwmon", PrivilegedFanWriter* writer = nullptr);

    OpenResult open() override;
    void close() override;
    int callStructMethod(std::uint32_t selector, const SMCKeyData& input, SMCKeyData& output) override;

    // Driver return codes (the controller's verdict goes in `result`).
    static constexpr int kReturnUnsupported = -1;
    static constexpr int kReturnNotOpen = -2;

private:
    struct KeyInfo {
        const char* type;
        std::uint32_t size;
    };
    struct FanKey {
        const HwmonInventory::Fan* fan;
        std::string suffix;  // "Ac", "Mn", "Mx", "Tg", "Md"
    };

    std::optional<KeyInfo> keyInfo(const std::string& key) const;
    std::optional<FanKey> fanKey(const std::string& key) const;
    std::optional<float> readValue(const std::string& key) const;
    std::uint8_t readBytes(const std::string& key, SMCKeyData& output) const;
    std::uint8_t write(const std::string& key, const SMCKeyData& input);
    bool writeMode(const HwmonInventory::Fan& fan, std::uint8_t mode);
    bool writeTarget(const HwmonInventory::Fan& fan, double rpm);

    std::filesystem::path root_;
    PrivilegedFanWriter* writer_;
    HwmonInventory inventory_;
    bool open_ = false;
};

}  // namespace vigilo
