// The Qt tests share one QApplication, on the display-less platform unless
// the environment names another.
#include <gmock/gmock.h>
#include <stdlib.h>

#include <QApplication>

#include "ui/qt/tray_icons.h"

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    vigilo::chooseIconThemes();
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
