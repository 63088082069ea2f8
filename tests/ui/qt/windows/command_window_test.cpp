#include "ui/qt/windows/command_window.h"

#include <unistd.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "app/app_state_fixture.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;

class CommandWindowTest : public testing::AppStateTest {};

// From the keyboard to the runner and back: a blank field is refused next
// to it, Return runs the trimmed command in the run-command mode, and the
// window shows the output and the exit status when it ends.
TEST_F(CommandWindowTest, ReturnRunsTheCommandAndTheWindowShowsItsExitStatus) {
    CommandWindow window(state(), runner, settings, loop);
    window.present();
    EXPECT_EQ(window.status().text().toStdString(), "Idle");

    QTest::keyClick(&window.field(), Qt::Key_Return);
    EXPECT_FALSE(window.fieldError().isHidden());
    EXPECT_EQ(launcher.last, nullptr);

    QTest::keyClicks(&window.field(), "  make build ");
    EXPECT_TRUE(window.fieldError().isHidden());
    QTest::keyClick(&window.field(), Qt::Key_Return);
    loop.runUntilIdle();
    ASSERT_NE(launcher.last, nullptr);
    EXPECT_EQ(runner.command().get(), "make build");
    EXPECT_TRUE(state().mode.get().is(KeepAwakeMode::Kind::runCommand));
    EXPECT_EQ(window.runButton().text().toStdString(), "Stop");

    ASSERT_EQ(::write(launcher.last->output[1], "compiling\n", 10), 10);
    loop.fastForwardBy(2s);
    EXPECT_EQ(window.status().text().toStdString(), "Running make build \u2014 2s");
    launcher.last->finish(3);
    loop.runUntilIdle();
    EXPECT_EQ(window.status().text().toStdString(), "Finished (exit 3) in 2s");
    EXPECT_EQ(window.output().toPlainText().toStdString(), "compiling");
    EXPECT_EQ(window.runButton().text().toStdString(), "Run");
}

}  // namespace
}  // namespace vigilo
