// Renders the report window and the share card of one fixed week to
// OUT_DIR/report.png and OUT_DIR/card.png. The same week every time, so the
// pictures change only when the code does.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QStyleFactory>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "ui/awake_band.h"
#include "ui/qt/report/report_window.h"
#include "ui/qt/report/share_card_renderer.h"

namespace {

using namespace std::chrono;
using vigilo::ActivityEvent;
using vigilo::ActivityKind;

// Monday to Friday, 2 to 6 March 2026, seen on Friday at 18:00 UTC: five
// sessions (the last still running), two of them with the lid closed, one
// hot afternoon and one battery save. Each stop is logged as the application
// logs it (a battery save stops first, and closed-lid mode ends with its
// session), so the figure above and the bars below add up to the same 44.5 h.
vigilo::ReportInput fixedWeek() {
    const auto day = [](int d, int hour, int minute = 0) {
        return sys_days{year{2026} / March / d} + hours{hour} + minutes{minute};
    };
    const auto event = [](auto at, ActivityKind kind) { return ActivityEvent{.at = at, .kind = kind}; };
    return {{
                event(day(6, 9), ActivityKind::keepAwakeStarted),
                event(day(5, 23), ActivityKind::clamshellOff),
                event(day(5, 23), ActivityKind::keepAwakeStopped),
                event(day(5, 16), ActivityKind::thermalCritical),
                event(day(5, 11), ActivityKind::clamshellOn),
                event(day(5, 11), ActivityKind::keepAwakeStarted),
                event(day(4, 20), ActivityKind::clamshellOff),
                event(day(4, 20), ActivityKind::keepAwakeStopped),
                event(day(4, 14), ActivityKind::clamshellOn),
                event(day(4, 14), ActivityKind::keepAwakeStarted),
                event(day(3, 19), ActivityKind::autoStopped),
                event(day(3, 19), ActivityKind::keepAwakeStopped),
                event(day(3, 10), ActivityKind::keepAwakeStarted),
                event(day(2, 17, 30), ActivityKind::keepAwakeStopped),
                event(day(2, 9), ActivityKind::keepAwakeStarted),
            },
            day(6, 18)};
}

bool save(const QPixmap& picture, const QDir& folder, const char* name) {
    if (picture.save(folder.filePath(name), "PNG")) return true;
    std::fprintf(stderr, "could not write %s\n", qPrintable(folder.filePath(name)));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // The bars' days are local days: UTC here, as the week above is written.
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(".")) return 1;

    vigilo::ReportWindow window(fixedWeek);
    window.show();
    QApplication::processEvents();
    // A week whose bars and figure disagree would show a report that
    // contradicts itself.
    const vigilo::ReportInput week = fixedWeek();
    double barHours = 0;
    for (const auto& day : vigilo::hoursAwakeByDay(week.events, week.now)) barHours += day.hours;
    if (std::abs(barHours - window.report().runtimeHours) > 0.05) {
        std::fprintf(stderr, "the bars add up to %.1f h, the report says %.1f h\n", barHours,
                     window.report().runtimeHours);
        return 1;
    }
    const bool written = save(window.grab(), folder, "report.png") &&
                         save(QPixmap::fromImage(vigilo::ShareCardRenderer::render(window.report())), folder, "card.png");
    return written ? 0 : 1;
}
