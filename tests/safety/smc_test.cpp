#include "safety/smc.h"

#include <gtest/gtest.h>

#include <cstring>

#include "common/log_capture.h"
#include "safety/memory_smc_transport.h"

namespace vigilo {
namespace {

using testing::MemorySMCTransport;
using Bytes = std::vector<std::uint8_t>;

TEST(SMCCodes, FourCharCodesAndNames) {
    EXPECT_EQ(SMC::fourCharCode("FNum"), 0x464E756Du);
    EXPECT_EQ(SMC::fourCharCode("ab"), 0x6162u);
    EXPECT_EQ(SMC::fourCharCode(""), 0u);
    EXPECT_EQ(SMC::fourCharCode("F10Ac"), SMC::fourCharCode("F10A"));
    EXPECT_EQ(SMC::fourCharString(0x75693820), "ui8 ");
    EXPECT_EQ(SMC::fourCharString(0x00667074), "fpt");
    EXPECT_EQ(SMC::fourCharString(0x41C34200), "");
    EXPECT_EQ(SMC::fourCharString(0), "");
}

struct SMCTest : ::testing::Test {
    MemorySMCTransport transport;
    SMC smc{transport};
    vigilo::testing::LogCapture logs;
};

TEST_F(SMCTest, ReadAsksKeyInfoThenBytesWithTheSize) {
    transport.setFpe2("F0Ac", 1500);
    auto value = smc.read("F0Ac");
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, (SMC::Value{"F0Ac", "fpe2", 2, Bytes{0x17, 0x70}}));
    ASSERT_EQ(transport.requests.size(), 2u);
    EXPECT_EQ(transport.requests[0].data8, 9);
    EXPECT_EQ(transport.requests[0].key, SMC::fourCharCode("F0Ac"));
    EXPECT_EQ(transport.requests[0].keyInfo.dataSize, 0u);
    EXPECT_EQ(transport.requests[1].data8, 5);
    EXPECT_EQ(transport.requests[1].keyInfo.dataSize, 2u);
    EXPECT_EQ(transport.selectors, (std::vector<std::uint32_t>{2, 2}));
}

TEST_F(SMCTest, FortyByteKeysTravelAsThirtyTwoBytesWithSizeForty) {
    Bytes bytes(40);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i);
    transport.keys["BIG!"] = {"ch8*", 40, bytes};
    auto value = smc.read("BIG!");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->dataSize, 40u);
    EXPECT_EQ(value->bytes, Bytes(bytes.begin(), bytes.begin() + 32));

    transport.requests.clear();
    EXPECT_TRUE(smc.write("BIG!", "ch8*", Bytes(40, 0xAB)));
    ASSERT_EQ(transport.writes.size(), 1u);
    EXPECT_EQ(transport.writes[0].size, 40u);
    EXPECT_EQ(transport.writes[0].type, "ch8*");
    EXPECT_EQ(transport.writes[0].bytes, Bytes(32, 0xAB));
    EXPECT_EQ(transport.requests.size(), 1u) << "no key-info read before a write";
    EXPECT_EQ(transport.requests[0].data8, 6);
}

TEST_F(SMCTest, FailedCallsReadAbsentWithoutLogging) {
    EXPECT_FALSE(smc.read("NONE"));
    transport.setUi8("FNum", 2);
    transport.returnCode = 5;
    EXPECT_FALSE(smc.read("FNum"));
    EXPECT_TRUE(logs.lines().empty());
    EXPECT_TRUE(smc.isOpen()) << "a failed call leaves the connection open";
}

TEST_F(SMCTest, FailedWriteIsLoggedWithReturnCodeAndResult) {
    transport.keys["F0Md"] = {"ui8 ", 1, {0}, false};
    const std::uint8_t one[] = {1};
    EXPECT_FALSE(smc.write("F0Md", "ui8 ", one));
    transport.returnCode = -7;
    EXPECT_FALSE(smc.write("F1Md", "ui8 ", one));
    EXPECT_EQ(logs.lines(), (std::vector<std::string>{"SMC: error: SMC write F0Md failed rc=0 result=1",
                                                      "SMC: error: SMC write F1Md failed rc=-7 result=0"}));
}

TEST_F(SMCTest, CloseThenReadReopens) {
    transport.setUi8("FNum", 1);
    ASSERT_TRUE(smc.read("FNum"));
    smc.close();
    EXPECT_FALSE(smc.isOpen());
    EXPECT_EQ(transport.closes, 1);
    ASSERT_TRUE(smc.read("FNum"));
    EXPECT_EQ(transport.opens, 2);
    EXPECT_TRUE(smc.isOpen());
}

TEST_F(SMCTest, MissingControllerReadsAbsentAndLogsOnceUntilItChanges) {
    transport.openResult = {false, 0};
    EXPECT_FALSE(smc.read("FNum"));
    EXPECT_FALSE(smc.write("F0Md", "ui8 ", Bytes{1}));
    EXPECT_FALSE(smc.read("TC0P"));
    transport.openResult = {true, 13};
    EXPECT_FALSE(smc.open());
    EXPECT_EQ(logs.lines(),
              (std::vector<std::string>{"SMC: No fan or temperature sensors found; fan presets are unavailable.",
                                        "SMC: error: SMC open failed: 13"}));
    EXPECT_TRUE(transport.requests.empty());
}

SMC::Value value(const char* type, Bytes bytes) { return {"TEST", type, static_cast<std::uint32_t>(bytes.size()), bytes}; }

TEST(SMCDecodeTest, DecodingTable) {
    EXPECT_EQ(SMCDecode::number(value("fpe2", {0x5D, 0xC0})), 6000.0);
    EXPECT_EQ(SMCDecode::number(value("ui8 ", {})), std::nullopt);
    EXPECT_EQ(SMCDecode::number(value("ui8", {200})), 200.0);
    EXPECT_EQ(SMCDecode::number(value("ui16", {0x01, 0x02})), 258.0);
    EXPECT_EQ(SMCDecode::number(value("ui16", {0x01})), std::nullopt);
    EXPECT_EQ(SMCDecode::number(value("ui32", {0xFF, 0xFF, 0xFF, 0xFF})), 4294967295.0);
    EXPECT_EQ(SMCDecode::number(value("ui32", {1, 2, 3})), std::nullopt);
    EXPECT_EQ(SMCDecode::number(value("fp2e", {0x40, 0x00})), 1.0);
    EXPECT_EQ(SMCDecode::number(value("si16", {0xFF, 0x38})), 65336.0);
    EXPECT_EQ(SMCDecode::number(value("si16", {})), std::nullopt);
    EXPECT_EQ(SMCDecode::number(value("ch8*", {1, 0, 0, 0, 9})), 16777216.0);
    float f = 42.25f;
    Bytes raw(4);
    std::memcpy(raw.data(), &f, 4);
    EXPECT_EQ(SMCDecode::number(value("flt ", raw)), 42.25);
    EXPECT_EQ(SMCDecode::number(value("flt", {1, 2})), std::nullopt);
}

}  // namespace
}  // namespace vigilo
