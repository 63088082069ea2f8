#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vigilo {

// The record exchanged with the System Management Controller's driver in
// both directions: 76 bytes, integers in the machine's byte order. Only
// `key`, `keyInfo`, `result`, `data8` and `bytes` carry anything.
struct SMCVersion {
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
    std::uint8_t build = 0;
    std::uint8_t reserved = 0;
    std::uint16_t release = 0;
};

struct SMCPLimitData {
    std::uint16_t version = 0;
    std::uint16_t length = 0;
    std::uint32_t cpuPLimit = 0;
    std::uint32_t gpuPLimit = 0;
    std::uint32_t memPLimit = 0;
};

// Packed so `result` follows `dataAttributes` directly, at byte 37.
struct [[gnu::packed]] SMCKeyInfoData {
    std::uint32_t dataSize = 0;
    std::uint32_t dataType = 0;  // four-character code
    std::uint8_t dataAttributes = 0;
};

struct SMCKeyData {
    std::uint32_t key = 0;  // four-character code
    SMCVersion vers;
    SMCPLimitData pLimitData;
    SMCKeyInfoData keyInfo;
    std::uint8_t result = 0;  // the controller's answer; 0 is success
    std::uint8_t status = 0;
    std::uint8_t data8 = 0;  // the command of a request
    std::uint32_t data32 = 0;
    std::uint8_t bytes[32] = {};
};

static_assert(sizeof(SMCKeyData) == 76);
static_assert(offsetof(SMCKeyData, vers) == 4 && offsetof(SMCKeyData, pLimitData) == 12);
static_assert(offsetof(SMCKeyData, keyInfo) == 28 && offsetof(SMCKeyData, result) == 37);
static_assert(offsetof(SMCKeyData, data8) == 39 && offsetof(SMCKeyData, data32) == 40);
static_assert(offsetof(SMCKeyData, bytes) == 44);

// Commands in `data8`, and the one driver method every call uses.
inline constexpr std::uint32_t kSMCKernelIndex = 2;
inline constexpr std::uint8_t kSMCCmdReadBytes = 5;
inline constexpr std::uint8_t kSMCCmdWriteBytes = 6;
inline constexpr std::uint8_t kSMCCmdReadKeyInfo = 9;

// The temperature sensor keys, in the order they are tried.
inline constexpr std::array<const char*, 14> kSMCTemperatureKeys{
    "Tp01", "Tp05", "Tp09", "Tp0D", "Tp0b", "Tp0f", "Tg05", "Tg0D", "TC0D", "TC0E", "TC0F", "TC0P", "TCAD", "TCXC"};

// Result codes a transport puts in `result`.
inline constexpr std::uint8_t kSMCResultSuccess = 0;
inline constexpr std::uint8_t kSMCResultError = 1;
inline constexpr std::uint8_t kSMCResultKeyNotFound = 0x84;

// The driver connection behind the SMC access: open, one structured call
// (a request record in, a reply record out, a return code), close. Abstract
// so the SMC access can be tested in memory; on Linux the hardware-monitoring
// class plays the controller. Called only under the SMC access's lock.
class SMCTransport {
public:
    struct OpenResult {
        bool serviceFound = false;
        int returnCode = 0;  // 0 when opened
    };

    virtual ~SMCTransport() = default;
    virtual OpenResult open() = 0;
    virtual void close() = 0;

    // Returns the driver's return code, 0 on success; the controller's own
    // verdict is in `output.result`.
    virtual int callStructMethod(std::uint32_t selector, const SMCKeyData& input, SMCKeyData& output) = 0;
};

}  // namespace vigilo
