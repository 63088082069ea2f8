#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/smc_transport.h"
#include "support/log.h"

namespace vigilo {

// The one door to the System Management Controller: reads a key's type, size
// and bytes, writes bytes to a key. Every failure comes back as nothing or
// false. A recursive lock serialises all use of the connection, so reads and
// writes may come from any thread.
class SMC {
public:
    struct Value {
        std::string key;       // as asked for
        std::string dataType;  // four-character type name, e.g. "fpe2"
        std::uint32_t dataSize = 0;
        std::vector<std::uint8_t> bytes;  // the first min(dataSize, 32)
        bool operator==(const Value&) const = default;
    };

    // The transport must outlive the SMC.
    explicit SMC(SMCTransport& transport);
    ~SMC();
    SMC(const SMC&) = delete;
    SMC& operator=(const SMC&) = delete;

    bool open();
    void close();
    bool isOpen() const;

    std::optional<Value> read(std::string_view key);
    bool write(std::string_view key, std::string_view dataType, std::span<const std::uint8_t> bytes);

    // The first four bytes folded big-endian ("FNum" -> 0x464E756D).
    static std::uint32_t fourCharCode(std::string_view text);
    // The non-zero bytes from the most significant; empty if any is not ASCII.
    static std::string fourCharString(std::uint32_t code);

private:
    bool call(const SMCKeyData& request, SMCKeyData& reply);
    void logOpenFailure(const SMCTransport::OpenResult& result);

    SMCTransport& transport_;
    mutable std::recursive_mutex lock_;
    bool isOpen_ = false;
    // Failing to open repeats at every read; it is logged when it changes.
    std::optional<SMCTransport::OpenResult> lastOpenFailure_;
    Logger log_{"SMC"};
};

// Turns raw key bytes into a number according to the key's data type.
namespace SMCDecode {
std::optional<double> number(const SMC::Value& value);
}

}  // namespace vigilo
