#include "safety/smc.h"

#include <algorithm>
#include <cstring>

namespace vigilo {

SMC::SMC(SMCTransport& transport) : transport_(transport) {}

SMC::~SMC() { close(); }

bool SMC::open() {
    std::lock_guard guard(lock_);
    if (isOpen_) return true;
    auto result = transport_.open();
    if (result.serviceFound && result.returnCode == 0) {
        isOpen_ = true;
        lastOpenFailure_.reset();
        return true;
    }
    logOpenFailure(result);
    return false;
}

void SMC::logOpenFailure(const SMCTransport::OpenResult& result) {
    if (lastOpenFailure_ && lastOpenFailure_->serviceFound == result.serviceFound &&
        lastOpenFailure_->returnCode == result.returnCode) {
        return;
    }
    lastOpenFailure_ = result;
    if (!result.serviceFound) {
        // Most desktops and virtual machines have none: nothing is wrong.
        log_.info("No fan or temperature sensors found; fan presets are unavailable.");
    } else {
        log_.error("SMC open failed: {}", result.returnCode);
    }
}

void SMC::close() {
    std::lock_guard guard(lock_);
    if (!isOpen_) return;
    transport_.close();
    isOpen_ = false;
}

bool SMC::isOpen() const {
    std::lock_guard guard(lock_);
    return isOpen_;
}

bool SMC::call(const SMCKeyData& request, SMCKeyData& reply) {
    reply = SMCKeyData{};
    int rc = transport_.callStructMethod(kSMCKernelIndex, request, reply);
    return rc == 0 && reply.result == kSMCResultSuccess;
}

std::optional<SMC::Value> SMC::read(std::string_view key) {
    std::lock_guard guard(lock_);
    if (!open()) return std::nullopt;

    SMCKeyData request;
    request.key = fourCharCode(key);
    request.data8 = kSMCCmdReadKeyInfo;
    SMCKeyData reply;
    if (!call(request, reply)) return std::nullopt;
    const std::uint32_t size = reply.keyInfo.dataSize;
    const std::uint32_t type = reply.keyInfo.dataType;

    request = SMCKeyData{};
    request.key = fourCharCode(key);
    request.keyInfo.dataSize = size;
    request.data8 = kSMCCmdReadBytes;
    if (!call(request, reply)) return std::nullopt;

    const auto count = std::min<std::size_t>(size, sizeof reply.bytes);
    return Value{std::string(key), fourCharString(type), size,
                 std::vector<std::uint8_t>(reply.bytes, reply.bytes + count)};
}

bool SMC::write(std::string_view key, std::string_view dataType, std::span<const std::uint8_t> bytes) {
    std::lock_guard guard(lock_);
    if (!open()) return false;

    SMCKeyData request;
    request.key = fourCharCode(key);
    request.data8 = kSMCCmdWriteBytes;
    request.keyInfo.dataSize = static_cast<std::uint32_t>(bytes.size());
    request.keyInfo.dataType = fourCharCode(dataType);
    if (!bytes.empty()) std::memcpy(request.bytes, bytes.data(), std::min(bytes.size(), sizeof request.bytes));

    SMCKeyData reply{};
    int rc = transport_.callStructMethod(kSMCKernelIndex, request, reply);
    if (rc == 0 && reply.result == kSMCResultSuccess) return true;
    log_.error("SMC write {} failed rc={} result={}", key, rc, reply.result);
    return false;
}

std::uint32_t SMC::fourCharCode(std::string_view text) {
    std::uint32_t code = 0;
    for (char c : text.substr(0, 4)) code = code * 256 + static_cast<unsigned char>(c);
    return code;
}

std::string SMC::fourCharString(std::uint32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        auto byte = static_cast<unsigned char>((code >> shift) & 0xFF);
        if (byte > 127) return {};
        if (byte != 0) text.push_back(static_cast<char>(byte));
    }
    return text;
}

namespace SMCDecode {

namespace {
std::uint64_t bigEndian(std::span<const std::uint8_t> bytes) {
    std::uint64_t value = 0;
    for (auto byte : bytes) value = value * 256 + byte;
    return value;
}
}  // namespace

std::optional<double> number(const SMC::Value& value) {
    const auto& type = value.dataType;
    std::span<const std::uint8_t> bytes = value.bytes;
    auto needs = [&](std::size_t count) { return bytes.size() >= count; };

    if (type == "ui8 " || type == "ui8") {
        if (!needs(1)) return std::nullopt;
        return static_cast<double>(bytes[0]);
    }
    if (type == "ui16" || type == "fpe2" || type == "fp2e") {
        if (!needs(2)) return std::nullopt;
        auto raw = static_cast<double>(bigEndian(bytes.first(2)));
        if (type == "fpe2") return raw * 0.25;
        if (type == "fp2e") return raw * 6.103515625e-5;
        return raw;
    }
    if (type == "ui32") {
        if (!needs(4)) return std::nullopt;
        return static_cast<double>(bigEndian(bytes.first(4)));
    }
    if (type == "flt " || type == "flt") {
        if (!needs(4)) return std::nullopt;
        float f;
        std::memcpy(&f, bytes.data(), sizeof f);
        return static_cast<double>(f);
    }
    if (!needs(1)) return std::nullopt;
    return static_cast<double>(bigEndian(bytes.first(std::min<std::size_t>(bytes.size(), 4))));
}

}  // namespace SMCDecode

}  // namespace vigilo
