#include "ui/qt/windows/onboarding_window.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "ui/qt/tray_fixture.h"

namespace vigilo::testing {
namespace {

template <class Widget>
Widget* shown(QWidget& window, const char* text) {
    for (auto* widget : window.findChildren<Widget*>()) {
        if (widget->isVisible() && widget->text() == text) return widget;
    }
    return nullptr;
}

using OnboardingWindowTest = TrayFixture;

// Through the steps to the last: the test notification's answer, the Auto
// Mode switch that never turns it off, a refused login item, Escape that
// only closes, and Return that presses Done.
TEST_F(OnboardingWindowTest, StepsLeadToDoneWhichFinishesForGood) {
    notifier.delivers = false;
    OnboardingWindow window(services());
    window.present();
    EXPECT_EQ(shown<QPushButton>(window, "Back"), nullptr);
    EXPECT_EQ(shown<QPushButton>(window, "Done"), nullptr);

    for (int i = 0; i < 2; ++i) shown<QPushButton>(window, "Next")->click();
    shown<QPushButton>(window, "Send a test notification")->click();
    ASSERT_EQ(notifier.posted.size(), 1u);
    EXPECT_NE(shown<QLabel>(window, "No notification service answered \u2014 check your desktop's notification "
                                    "settings"),
              nullptr);

    for (int i = 0; i < 3; ++i) shown<QPushButton>(window, "Next")->click();
    EXPECT_EQ(shown<QPushButton>(window, "Next"), nullptr);
    shown<QPushButton>(window, "Turn on Auto Mode")->click();
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::autoWatch));
    EXPECT_EQ(shown<QPushButton>(window, "Turn on Auto Mode"), nullptr);
    EXPECT_NE(shown<QLabel>(window, "Auto Mode is ON \u2713"), nullptr);

    auto* atLogin = shown<QCheckBox>(window, "Also start Vigilo at login");
    atLogin->click();
    EXPECT_FALSE(atLogin->isChecked());
    EXPECT_FALSE(settings.launchAtLogin.get());

    QTest::keyClick(&window, Qt::Key_Escape);  // closes, but only for now
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(settings.hasCompletedOnboarding.get());
    window.present();
    QTest::keyClick(&window, Qt::Key_Return);  // Done is the default button

    EXPECT_TRUE(settings.hasCompletedOnboarding.get());
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace vigilo::testing
