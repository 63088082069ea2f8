#include "ui/qt/windows/settings_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <nlohmann/json.hpp>

#include "common/fake_privileged_runner.h"
#include "ui/qt/tray_fixture.h"

namespace vigilo::testing {
namespace {

bool showsLine(QWidget& window, const char* text) {
    for (auto* label : window.findChildren<QLabel*>()) {
        if (label->text() == text) return label->isVisible();
    }
    return false;
}

class SettingsWindowTest : public TrayFixture {
protected:
    template <class Widget>
    Widget& control(const char* key) {
        auto* widget = window.findChild<Widget*>(key);
        if (!widget) throw std::runtime_error(std::string("no control for ") + key);
        return *widget;
    }

    TrayServices withHelper() {
        auto withHelper = services();
        withHelper.privileged = &helper;
        return withHelper;
    }

    FakePrivilegedRunner helper;
    SettingsWindow window{withHelper()};
};

// From the controls through the settings to the file, and back from a change
// made elsewhere; refused text stores nothing.
TEST_F(SettingsWindowTest, EditsReachThePreferencesFileAtOnce) {
    window.present();
    control<QSpinBox>("batteryThreshold").setValue(50);
    control<QCheckBox>("useCpuDetection").click();
    EXPECT_FALSE(control<QSlider>("cpuThresholdPercent").isVisible());
    EXPECT_TRUE(showsLine(window, "Any matching process keeps the computer awake, even when sleeping. Faster but can "
                                  "over-trigger."));

    auto& pattern = control<QLineEdit>("watchPatterns");
    auto* lastChip = qobject_cast<QPushButton*>(pattern.previousInFocusChain());
    ASSERT_NE(lastChip, nullptr) << "the chips come before the field on Tab";
    lastChip->setFocus();
    QTest::keyClick(lastChip, Qt::Key_Space);
    EXPECT_TRUE(window.focusWidget() && window.focusWidget()->property("pattern") == lastChip->property("pattern"));
    QTest::keyClicks(&pattern, "   ");
    QTest::keyClick(&pattern, Qt::Key_Return);
    EXPECT_TRUE(showsLine(window, "Type the name of a program first."));
    pattern.setText(" Blender ");
    QTest::keyClick(&pattern, Qt::Key_Return);
    EXPECT_TRUE(pattern.text().isEmpty());
    EXPECT_FALSE(showsLine(window, "Type the name of a program first."));

    auto& push = control<QComboBox>("pushProvider");
    push.setCurrentIndex(2);
    Q_EMIT push.activated(2);
    EXPECT_FALSE(control<QLineEdit>("ntfyTopic").isVisible());
    auto& token = control<QLineEdit>("pushoverToken");
    ASSERT_TRUE(token.isVisible());
    token.setText("half typed");
    Q_EMIT token.editingFinished();
    EXPECT_TRUE(showsLine(window, "Pushover keys are letters and digits only."));

    cooling.controlSupported().publish(true);
    auto& preset = control<QComboBox>("fanPreset");
    ASSERT_TRUE(preset.isVisible());
    Q_EMIT preset.activated(3);
    EXPECT_EQ(helper.authorized, std::vector<HelperVerb>{HelperVerb::fan});  // a person's choice may ask
    EXPECT_EQ(cooling.activePreset().get(), FanPreset::emergencyMax);
    EXPECT_EQ(preset.currentIndex(), 3);

    settings.warnBatteryThreshold.set(20);
    EXPECT_EQ(control<QSpinBox>("warnBatteryThreshold").value(), 20);

    writer.flush();
    const auto stored = nlohmann::json::parse(readFile(dir.path() / "preferences.json").value());
    EXPECT_EQ(stored["batteryThreshold"], 50);
    EXPECT_EQ(stored["useCpuDetection"], false);
    EXPECT_EQ(stored["watchPatterns"].back(), "Blender");
    EXPECT_EQ(stored["pushProvider"], "pushover");
    EXPECT_FALSE(stored.contains("pushoverToken"));
}

}  // namespace
}  // namespace vigilo::testing
