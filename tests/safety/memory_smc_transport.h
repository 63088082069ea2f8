#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/smc_transport.h"
#include "safety/smc.h"

namespace vigilo::testing {

// An SMC held in memory: keys with a type and bytes, every request and
// every write kept for inspection.
class MemorySMCTransport final : public SMCTransport {
public:
    struct Key {
        std::string type;
        std::uint32_t size = 0;
        std::vector<std::uint8_t> bytes;
        bool writable = true;
    };
    struct Write {
        std::string key;
        std::string type;
        std::uint32_t size = 0;
        std::vector<std::uint8_t> bytes;  // all 32 of the record
    };

    OpenResult open() override {
        ++opens;
        return openResult;
    }
    void close() override { ++closes; }

    int callStructMethod(std::uint32_t selector, const SMCKeyData& input, SMCKeyData& output) override {
        requests.push_back(input);
        selectors.push_back(selector);
        if (returnCode != 0) return returnCode;
        auto name = SMC::fourCharString(input.key);
        auto it = keys.find(name);
        switch (input.data8) {
            case kSMCCmdReadKeyInfo:
                if (it == keys.end()) return notFound(output);
                output.keyInfo.dataSize = it->second.size;
                output.keyInfo.dataType = SMC::fourCharCode(it->second.type);
                return 0;
            case kSMCCmdReadBytes:
                if (it == keys.end()) return notFound(output);
                std::copy_n(it->second.bytes.begin(), std::min<std::size_t>(32, it->second.bytes.size()), output.bytes);
                return 0;
            case kSMCCmdWriteBytes: {
                writes.push_back({name, SMC::fourCharString(input.keyInfo.dataType), input.keyInfo.dataSize,
                                  std::vector<std::uint8_t>(input.bytes, input.bytes + 32)});
                if (it != keys.end() && !it->second.writable) output.result = kSMCResultError;
                return 0;
            }
            default: output.result = kSMCResultError; return 0;
        }
    }

    void setFloat(const std::string& key, float value) {
        Key k{"flt ", 4, std::vector<std::uint8_t>(4)};
        std::memcpy(k.bytes.data(), &value, 4);
        keys[key] = k;
    }
    void setFpe2(const std::string& key, double rpm) {
        auto v = static_cast<std::uint16_t>(rpm * 4);
        keys[key] = Key{"fpe2", 2, {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v & 0xFF)}};
    }
    void setUi8(const std::string& key, std::uint8_t value) { keys[key] = Key{"ui8 ", 1, {value}}; }
    // A fan with these speeds, readable as "fpe2".
    void addFan(int n, double actual, double min, double max, double target) {
        auto prefix = "F" + std::to_string(n);
        setFpe2(prefix + "Ac", actual);
        setFpe2(prefix + "Mn", min);
        setFpe2(prefix + "Mx", max);
        setFpe2(prefix + "Tg", target);
    }

    std::map<std::string, Key> keys;
    std::vector<SMCKeyData> requests;
    std::vector<std::uint32_t> selectors;
    std::vector<Write> writes;
    OpenResult openResult{true, 0};
    int returnCode = 0;
    int opens = 0;
    int closes = 0;

private:
    static int notFound(SMCKeyData& output) {
        output.result = kSMCResultKeyNotFound;
        return 0;
    }
};

}  // namespace vigilo::testing
