// The report window's exports: the card's size and scale, the PNG written
// whole or not at all, and the image on the clipboard.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <filesystem>

#include "common/temp_dir.h"
#include "ui/qt/report/report_window.h"
#include "ui/qt/report/share_card_renderer.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;

const QSize kCardPixels(1520, 880);

class ReportWindowTest : public ::testing::Test {
protected:
    // The Qt tests' own main makes the application where it runs them.
    static void SetUpTestSuite() {
        if (QApplication::instance()) return;
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "vigilo_report_tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }

    // One two-hour session that ended an hour ago.
    ReportWindow window{[] {
        const WallTime now = WallTime{} + 1000h;
        return ReportInput{{{.at = now - 1h, .kind = ActivityKind::keepAwakeStopped},
                            {.at = now - 3h, .kind = ActivityKind::keepAwakeStarted}},
                           now};
    }};
    testing::TempDir folder;
};

TEST_F(ReportWindowTest, CardIsTwiceItsLogicalSize) {
    const QImage card = ShareCardRenderer::render(WeeklyReport{});
    EXPECT_EQ(card.size(), kCardPixels);
    EXPECT_EQ(card.devicePixelRatio(), 2.0);
}

TEST_F(ReportWindowTest, ShowingGeneratesTheReportAndCopyPutsTheCardOnTheClipboard) {
    window.show();
    EXPECT_EQ(window.report().protectedSessions, 1);
    EXPECT_DOUBLE_EQ(window.report().runtimeHours, 2.0);
    window.copyCard();
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), kCardPixels);
    EXPECT_EQ(window.note(), "Card copied to the clipboard.");
}

TEST_F(ReportWindowTest, SaveWritesAPngThatLoadsBack) {
    const auto path = folder / "Vigilo-week.png";
    window.saveCardTo(QString::fromStdString(path.string()));
    EXPECT_EQ(window.note(), "Card saved.");
    QImage loaded;
    ASSERT_TRUE(loaded.load(QString::fromStdString(path.string()), "PNG"));
    EXPECT_EQ(loaded.size(), kCardPixels);
}

TEST_F(ReportWindowTest, FailedSaveShowsTheErrorAndWritesNothing) {
    const auto blocker = folder.write("not-a-folder", "");
    window.saveCardTo(QString::fromStdString((blocker / "card.png").string()));
    EXPECT_TRUE(window.note().startsWith("Could not save the card: ")) << window.note().toStdString();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

}  // namespace
}  // namespace vigilo
