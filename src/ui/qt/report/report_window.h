#pragma once

#include <QWidget>

#include <array>
#include <functional>
#include <vector>

#include "activity/activity_event.h"
#include "activity/weekly_report.h"
#include "support/clock.h"

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace vigilo {

// What a report is made from: the activity history and the moment it ends.
struct ReportInput {
    std::vector<ActivityEvent> events;
    WallTime now;
};

// "Vigilo Weekly Report": the last seven days in rows, the hours kept awake
// per day as bars, the share card at half size, and buttons that copy the
// card or save it as a PNG file. The report
// is made afresh each time the window is shown, from what `source` returns
// then (the application's activity log and clock).
class ReportWindow final : public QWidget {
public:
    using Source = std::function<ReportInput()>;
    static constexpr int kRowCount = 8;

    explicit ReportWindow(Source source, QWidget* parent = nullptr);

    // What the buttons do once they have what they need. Both leave their
    // outcome in note().
    void copyCard();
    void saveCardTo(const QString& path);

    const WeeklyReport& report() const { return report_; }
    QString note() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildRows(QVBoxLayout* layout);
    void buildButtons(QVBoxLayout* layout);
    void refresh();
    void chooseFileAndSave();

    Source source_;
    WeeklyReport report_;
    std::array<QLabel*, kRowCount> values_{};
    QWidget* week_ = nullptr;
    QLabel* preview_ = nullptr;
    QPushButton* copyButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QLabel* note_ = nullptr;
};

}  // namespace vigilo
