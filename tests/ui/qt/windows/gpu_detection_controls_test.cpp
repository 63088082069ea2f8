#include "ui/qt/windows/gpu_detection_controls.h"

#include <QCheckBox>
#include <QSpinBox>

#include "ui/qt/tray_fixture.h"
#include "ui/qt/windows/settings_window.h"

namespace vigilo::testing {
namespace {

class GpuDetectionControlsTest : public TrayFixture {};

// Through the settings window: the controls write their settings at once and
// follow a change made elsewhere.
TEST_F(GpuDetectionControlsTest, TheSwitchAndTheStepperEditTheGpuSettings) {
    SettingsWindow window{services()};
    window.present();
    auto* toggle = window.findChild<QCheckBox*>("useGpuDetection");
    auto* threshold = window.findChild<QSpinBox*>("gpuThresholdPercent");
    ASSERT_TRUE(toggle && threshold);
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_EQ(threshold->value(), 10);
    EXPECT_EQ((std::pair{threshold->minimum(), threshold->maximum()}), (std::pair{0, 100}));
    EXPECT_EQ(threshold->singleStep(), 5);

    threshold->stepUp();
    EXPECT_EQ(settings.gpuThresholdPercent.get(), 15.0);
    toggle->click();
    EXPECT_FALSE(settings.useGpuDetection.get());
    EXPECT_FALSE(threshold->isEnabled());

    settings.useGpuDetection.set(true);
    settings.gpuThresholdPercent.set(42.4);
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_EQ(threshold->value(), 42);
}

}  // namespace
}  // namespace vigilo::testing
