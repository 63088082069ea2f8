#include "platform/linux/safety/hwmon_smc_transport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "common/log_capture.h"
#include "common/temp_dir.h"
#include "platform/linux/safety/sysfs_attribute.h"
#include "safety/cooling_manager.h"
#include "safety/fan_controller.h"
#include "safety/smc.h"

namespace vigilo {
namespace {

using Reading = FanController::Reading;

struct HwmonTree : ::testing::Test {
    testing::TempDir root;
    HwmonSMCTransport transport{root.path()};
    SMC smc{transport};
    testing::LogCapture logs;

    void chip(const std::string& folder, const std::string& name, std::map<std::string, std::string> attributes) {
        root.write(folder + "/name", name + "\n");
        for (const auto& [attribute, value] : attributes) root.write(folder + "/" + attribute, value + "\n");
    }
    std::optional<std::string> attribute(const std::string& file) { return readAttribute(root / file); }
    std::optional<double> number(const char* key) {
        auto value = smc.read(key);
        if (!value) return std::nullopt;
        EXPECT_EQ(value->dataType, "flt ");
        return SMCDecode::number(*value);
    }
    // Root may write anything, so an attribute that cannot be written is a folder.
    void makeUnwritable(const std::string& file) {
        std::filesystem::remove(root / file);
        std::filesystem::create_directories(root / file);
    }
};

TEST_F(HwmonTree, TwoFanPwmChip) {
    chip("hwmon3", "nct6798", {{"fan1_input", "1210"}, {"fan1_min", "300"}, {"fan1_max", "2300"},
                               {"pwm1", "80"}, {"pwm1_enable", "5"},
                               {"fan2_input", "900"}, {"pwm2", "100"}, {"pwm2_enable", "2"},
                               {"fan3_input", "700"}});  // no control: not counted
    EXPECT_EQ(FanController::count(smc), 2);
    EXPECT_EQ(FanController::readAll(smc),
              (std::vector<Reading>{{0, 1210, 300, 2300, 1210}, {1, 900, 0, 0, 900}}));

    EXPECT_TRUE(FanController::setTarget(smc, 0, 1300));
    EXPECT_EQ(attribute("hwmon3/pwm1_enable"), "1");
    EXPECT_EQ(attribute("hwmon3/pwm1"), "128") << "halfway between 300 and 2300 rpm";
    EXPECT_TRUE(FanController::setTarget(smc, 0, 2000));
    EXPECT_TRUE(FanController::setAutomatic(smc, 0));
    EXPECT_EQ(attribute("hwmon3/pwm1_enable"), "5") << "back to what it was before the first manual write";

    EXPECT_FALSE(FanController::setTarget(smc, 1, 1500)) << "no maximum to scale the duty cycle";
    EXPECT_TRUE(logs.contains("SMC: error: SMC write F1Tg failed rc=0 result=1"));
    EXPECT_EQ(attribute("hwmon3/pwm2"), "100");
}

TEST_F(HwmonTree, UnknownPreviousEnableRestoresAutomatic) {
    chip("hwmon0", "it8628", {{"fan1_input", "1000"}, {"pwm1", "80"}, {"pwm1_enable", "garbage"}});
    const std::uint8_t forced[] = {1}, automatic[] = {0}, bogus[] = {7};
    EXPECT_TRUE(smc.write("F0Md", "ui8 ", forced));
    EXPECT_TRUE(smc.write("F0Md", "ui8 ", automatic));
    EXPECT_EQ(attribute("hwmon0/pwm1_enable"), "2");
    EXPECT_FALSE(smc.write("F0Md", "ui8 ", bogus));
    EXPECT_FALSE(smc.write("F0Md", "ui8 ", std::span<const std::uint8_t>{}));
}

TEST_F(HwmonTree, AppleSmcChip) {
    chip("hwmon1", "applesmc", {{"fan1_input", "2000"}, {"fan1_min", "1200"}, {"fan1_max", "5800"},
                                {"fan1_manual", "0"}, {"fan1_output", "2100"}});
    EXPECT_EQ(FanController::readAll(smc), (std::vector<Reading>{{0, 2000, 1200, 5800, 2100}}));
    CoolingManager::runPreset(smc, FanPreset::aiWorkload);
    EXPECT_EQ(attribute("hwmon1/fan1_manual"), "1");
    EXPECT_EQ(attribute("hwmon1/fan1_output"), "4420");
    CoolingManager::runPreset(smc, FanPreset::balanced);
    EXPECT_EQ(attribute("hwmon1/fan1_manual"), "0");
}

TEST_F(HwmonTree, FanTargetChip) {
    chip("hwmon2", "dell_smm", {{"fan1_input", "2500"}, {"fan1_min", "0"}, {"fan1_max", "4900"},
                                {"fan1_target", "2400"}});
    EXPECT_EQ(FanController::readAll(smc), (std::vector<Reading>{{0, 2500, 0, 4900, 2400}}));
    EXPECT_TRUE(FanController::setTarget(smc, 0, 9000));
    EXPECT_EQ(attribute("hwmon2/fan1_target"), "4900");
}

TEST_F(HwmonTree, SensorsArePickedAndOrderedByChipName) {
    chip("hwmon0", "acpitz", {{"temp1_input", "27800"}});
    chip("hwmon1", "amdgpu", {{"temp1_input", "48000"}, {"temp1_label", "edge"}});
    chip("hwmon7", "coretemp", {{"temp1_input", "61000"}, {"temp2_input", "58000"}, {"temp3_input", "59500"}});
    chip("hwmon2", "nvme", {{"temp1_input", "39850"}});
    EXPECT_EQ(number("Tp01"), 61.0);
    EXPECT_EQ(number("Tp05"), 58.0);
    EXPECT_EQ(number("Tp09"), 59.5);
    EXPECT_EQ(number("Tp0D"), 48.0);
    EXPECT_EQ(smc.read("Tp0b"), std::nullopt);
    EXPECT_EQ(FanController::count(smc), 0);
    EXPECT_EQ(CoolingManager::scan(smc), (CoolingManager::Snapshot{61.0, {}, false}));
}

TEST_F(HwmonTree, UnwritableAttributesAnswerWithAFailure) {
    chip("hwmon0", "nct6775", {{"fan1_input", "1000"}, {"fan1_max", "2000"}, {"pwm1", "80"}, {"pwm1_enable", "2"}});
    makeUnwritable("hwmon0/pwm1");
    makeUnwritable("hwmon0/pwm1_enable");
    EXPECT_FALSE(FanController::setTarget(smc, 0, 1500));
    EXPECT_TRUE(logs.contains("SMC: error: SMC write F0Md failed rc=0 result=1"));
    EXPECT_TRUE(logs.contains("SMC: error: SMC write F0Tg failed rc=0 result=1"));
    const std::uint8_t one[] = {1};
    EXPECT_FALSE(smc.write("F0Ac", "ui8 ", one)) << "speeds are read-only";
    EXPECT_FALSE(smc.write("TC0P", "ui8 ", one));
}

TEST_F(HwmonTree, GarbageVanishedAndHugeValuesReadAbsent) {
    chip("hwmon0", "coretemp", {{"temp1_input", "hot"}, {"temp2_input", "99999999999"}, {"temp3_input", ""}});
    chip("hwmon1", "nct6775", {{"fan1_input", "-5"}, {"pwm1", "1"}, {"pwm1_enable", "1"},
                               {"fan2_input", "999999999"}, {"fan2_target", "1"}});
    EXPECT_EQ(smc.read("Tp01"), std::nullopt);
    EXPECT_EQ(smc.read("Tp05"), std::nullopt);
    EXPECT_EQ(smc.read("Tp09"), std::nullopt);
    EXPECT_EQ(FanController::count(smc), 2);
    EXPECT_TRUE(FanController::readAll(smc).empty());
    EXPECT_EQ(smc.read("F9Ac"), std::nullopt);
    EXPECT_EQ(smc.read("XXXX"), std::nullopt);

    std::filesystem::remove_all(root / "hwmon1");
    EXPECT_EQ(smc.read("F0Ac"), std::nullopt) << "a vanished chip reads absent until the next open";
    smc.close();
    EXPECT_EQ(FanController::count(smc), 0);
}

TEST_F(HwmonTree, NoHwmonAtAllMeansNoController) {
    HwmonSMCTransport none(root / "missing");
    SMC nothing(none);
    EXPECT_FALSE(nothing.open());
    EXPECT_EQ(FanController::count(nothing), 0);
    EXPECT_EQ(CoolingManager::scan(nothing), CoolingManager::Snapshot{});
    EXPECT_EQ(logs.lines(), std::vector<std::string>{"SMC: error: SMC service not found"});
}

TEST_F(HwmonTree, OtherSelectorsAndClosedConnectionsAreRefused) {
    chip("hwmon0", "coretemp", {{"temp1_input", "50000"}});
    SMCKeyData request, reply;
    request.key = SMC::fourCharCode("Tp01");
    request.data8 = kSMCCmdReadKeyInfo;
    EXPECT_EQ(transport.callStructMethod(kSMCKernelIndex, request, reply), HwmonSMCTransport::kReturnNotOpen);
    ASSERT_TRUE(transport.open().serviceFound);
    EXPECT_EQ(transport.callStructMethod(7, request, reply), HwmonSMCTransport::kReturnUnsupported);
    EXPECT_EQ(transport.callStructMethod(kSMCKernelIndex, request, reply), 0);
    EXPECT_EQ(reply.keyInfo.dataSize, 4u);
}

}  // namespace
}  // namespace vigilo
