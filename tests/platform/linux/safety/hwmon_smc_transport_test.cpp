#include "platform/linux/safety/hwmon_smc_transport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "common/fake_privileged_runner.h"
#include "common/log_capture.h"
#include "common/temp_dir.h"
#include "platform/linux/safety/sysfs_attribute.h"
#include "safety/cooling_manager.h"
#include "safety/fan_controller.h"
#include "safety/restore_record.h"
#include "safety/smc.h"

namespace vigilo {
namespace {

using Reading = FanController::Reading;

using Status = PrivilegedRunner::Result::Status;
using Call = std::vector<std::string>;

struct HwmonTree : ::testing::Test {
    testing::TempDir root;
    testing::TempDir data;
    testing::FakePrivilegedRunner helper;
    RestoreRecord record{data.path()};
    PrivilegedFanWriter writer{helper, record};
    HwmonSMCTransport transport{root.path(), &writer};
    SMC smc{transport};
    testing::LogCapture logs;

    void chip(const std::string& folder, const std::string& name, std::map<std::string, std::string> attributes) {
        root.write(folder + "/name", name + "\n");
        for (const auto& [attribute, value] : attributes) root.write(folder + "/" + attribute, value + "\n");
    }
    std::string device(const std::string& folder) { return std::filesystem::canonical(root / folder).string(); }
    std::optional<double> number(const char* key) {
        auto value = smc.read(key);
        if (!value) return std::nullopt;
        EXPECT_EQ(value->dataType, "flt ");
        return SMCDecode::number(*value);
    }
    std::optional<nlohmann::json> recorded(const std::string& folder, int index) {
        return RestoreRecord(data.path()).get("fan " + device(folder) + " " + std::to_string(index));
    }
};

TEST_F(HwmonTree, PwmFanRecordsItsAutomaticModeBeforeTheFirstManualWrite) {
    chip("hwmon3", "nct6798", {{"fan1_input", "1210"}, {"fan1_min", "300"}, {"fan1_max", "2300"},
                               {"pwm1", "80"}, {"pwm1_enable", "5"},
                               {"fan2_input", "900"}, {"pwm2", "100"}, {"pwm2_enable", "2"},
                               {"fan3_input", "700"}});  // no control: not counted
    const std::string chip3 = device("hwmon3");
    EXPECT_EQ(FanController::count(smc), 2);
    EXPECT_EQ(FanController::readAll(smc),
              (std::vector<Reading>{{0, 1210, 300, 2300, 1210}, {1, 900, 0, 0, 900}}));

    EXPECT_TRUE(FanController::setTarget(smc, 0, 1300));
    EXPECT_EQ(recorded("hwmon3", 1), (nlohmann::json{{"chip", chip3}, {"index", 1}, {"pwmEnable", 5}}));
    root.write("hwmon3/pwm1_enable", "1\n");  // what the helper did
    EXPECT_TRUE(FanController::setTarget(smc, 0, 2000));
    EXPECT_EQ(recorded("hwmon3", 1)->at("pwmEnable"), 5) << "kept from before the first manual write";
    EXPECT_TRUE(FanController::setAutomatic(smc, 0));
    EXPECT_EQ(recorded("hwmon3", 1), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(data / "restore.json")) << "nothing left to put back";
    EXPECT_TRUE(FanController::setAutomatic(smc, 0)) << "nothing to give back: no helper run";
    ASSERT_TRUE(record.put("fan " + chip3 + " 1", {{"chip", chip3}, {"index", 1}, {"pwmEnable", "5"}}));
    EXPECT_TRUE(FanController::setAutomatic(smc, 0)) << "a hand-edited entry is dropped, not run";
    EXPECT_EQ(recorded("hwmon3", 1), std::nullopt);

    EXPECT_FALSE(FanController::setTarget(smc, 1, 1500)) << "no maximum to scale the duty cycle";
    EXPECT_TRUE(logs.contains("SMC: error: SMC write F1Tg failed rc=0 result=1"));
    EXPECT_EQ(helper.calls, (std::vector<Call>{{"fan", "manual", chip3, "1", "128"},  // halfway from 300 to 2300
                                               {"fan", "manual", chip3, "1", "217"},
                                               {"fan", "auto", chip3, "1", "5"}}));
    EXPECT_EQ(helper.consents, std::vector<Consent>(3, Consent::withoutAsking));
}

TEST_F(HwmonTree, EachKindOfChipGetsTheValueItsAttributeTakes) {
    chip("hwmon0", "it8628", {{"fan1_input", "1000"}, {"fan1_max", "2000"}, {"pwm1", "80"}, {"pwm1_enable", "1"}});
    chip("hwmon1", "applesmc", {{"fan1_input", "2000"}, {"fan1_min", "1200"}, {"fan1_max", "5800"},
                                {"fan1_manual", "0"}, {"fan1_output", "2100"}});
    chip("hwmon2", "dell_smm", {{"fan1_input", "2500"}, {"fan1_min", "0"}, {"fan1_max", "4900"},
                                {"fan1_target", "2400"}});
    EXPECT_EQ(FanController::readAll(smc)[0], (Reading{0, 2000, 1200, 5800, 2100})) << "chips in name order";
    CoolingManager::runPreset(smc, FanPreset::emergencyMax);
    CoolingManager::runPreset(smc, FanPreset::balanced);
    EXPECT_EQ(helper.calls, (std::vector<Call>{
                                {"fan", "manual", device("hwmon1"), "1", "5800"},
                                {"fan", "manual", device("hwmon2"), "1", "4900"},
                                {"fan", "manual", device("hwmon0"), "1", "255"},
                                // no automatic mode on hwmon2; hwmon0 was found in manual mode: the usual value
                                {"fan", "auto", device("hwmon1"), "1", "0"},
                                {"fan", "auto", device("hwmon0"), "1", "2"},
                            }));
    const std::uint8_t bogus[] = {7};
    EXPECT_FALSE(smc.write("F0Md", "ui8 ", bogus));
    EXPECT_FALSE(smc.write("F0Md", "ui8 ", std::span<const std::uint8_t>{}));
}

TEST_F(HwmonTree, RestoreAllFollowsTheHelpersAnswer) {
    struct Case {
        Status answer;
        bool entryKept;
        const char* logged;
    };
    const std::string fan = "Fan: error: Fan /sys/devices/platform/nct6775.656/hwmon/hwmon3 2 ";
    for (const Case& c : {Case{Status::done, false, "back to automatic control (5)"},
                          Case{Status::refused, false, "no longer there to restore: said"},
                          Case{Status::notAllowed, true, "restore skipped (said); the next launch tries again"},
                          Case{Status::busy, true, "restore skipped (said); the next launch tries again"},
                          Case{Status::failed, true, "restore failed: said"}}) {
        SCOPED_TRACE(c.logged);
        ASSERT_TRUE(record.put("fan /sys/devices/platform/nct6775.656/hwmon/hwmon3 2",
                               {{"chip", "/sys/devices/platform/nct6775.656/hwmon/hwmon3"}, {"index", 2}, {"pwmEnable", 5}}));
        ASSERT_TRUE(record.put("fan broken", {{"chip", 3}}));
        ASSERT_TRUE(record.put("fan edited", {{"chip", "/sys/x"}, {"index", 1}, {"pwmEnable", "5"}}));
        ASSERT_TRUE(record.put("kde lid action", {{"profile", "AC"}}));
        helper.answer = {c.answer, "said"};
        helper.calls.clear();
        RestoreRecord afterCrash(data.path());
        PrivilegedFanWriter next(helper, afterCrash);
        next.restoreAll();
        EXPECT_EQ(helper.calls, (std::vector<Call>{{"fan", "auto", "/sys/devices/platform/nct6775.656/hwmon/hwmon3", "2", "5"}}));
        EXPECT_EQ(afterCrash.entries().size(), c.entryKept ? 2u : 1u) << "another owner's entry stays, a broken one goes";
        EXPECT_TRUE(logs.contains(c.answer == Status::done ? "Fan: Fan /sys/devices/platform/nct6775.656/hwmon/hwmon3 2 " + std::string(c.logged)
                                                           : fan + c.logged));
        EXPECT_TRUE(logs.contains("Fan: error: Fan record fan broken is unreadable; dropped"));
        EXPECT_TRUE(logs.contains("Fan: error: Fan record fan edited is unreadable; dropped"));
    }
}

TEST_F(HwmonTree, AManualWriteNotAllowedFailsAndLeavesNoRecord) {
    chip("hwmon0", "nct6775", {{"fan1_input", "1000"}, {"fan1_max", "2000"}, {"pwm1", "80"}, {"pwm1_enable", "2"}});
    helper.answer = {Status::notAllowed, "polkit does not allow com.vigilo.app.fan-control without asking"};
    EXPECT_FALSE(FanController::setTarget(smc, 0, 1500));
    EXPECT_TRUE(logs.contains("SMC: error: SMC write F0Tg failed rc=0 result=1"));
    EXPECT_TRUE(logs.contains("Fan: error: Fan " + device("hwmon0") + " 1 manual speed 191 skipped: polkit does not allow com.vigilo.app.fan-control without asking"));
    EXPECT_FALSE(recorded("hwmon0", 1)) << "nothing ran, nothing to give back";
    helper.answer = {Status::failed, "cannot write"};
    EXPECT_FALSE(FanController::setTarget(smc, 0, 1500));
    EXPECT_TRUE(recorded("hwmon0", 1)) << "half switched, perhaps: given back at quit";
    const std::uint8_t one[] = {1};
    EXPECT_FALSE(smc.write("F0Ac", "ui8 ", one)) << "speeds are read-only";
    EXPECT_FALSE(smc.write("TC0P", "ui8 ", one));

    HwmonSMCTransport readOnly(root.path());
    SMC withoutWriter(readOnly);
    EXPECT_FALSE(FanController::setTarget(withoutWriter, 0, 1500));
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
    EXPECT_EQ(logs.lines(),
              std::vector<std::string>{"SMC: No fan or temperature sensors found; fan presets are unavailable."})
        << "once, at info: most computers have no fan control";
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
