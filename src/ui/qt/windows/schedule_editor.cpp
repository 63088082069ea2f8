#include "ui/qt/windows/schedule_editor.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTime>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/qt/qt_text.h"

namespace vigilo {

namespace {

QTime timeOf(int minutes) { return QTime((minutes / 60) % 24, minutes % 60); }
int minutesOf(const QTime& time) { return time.hour() * 60 + time.minute(); }

QTimeEdit* timeField(const QString& name) {
    auto* field = new QTimeEdit;
    field->setDisplayFormat(QStringLiteral("HH:mm"));
    field->setAccessibleName(name);
    return field;
}

}  // namespace

ScheduleEditor::ScheduleEditor(const Schedule& schedule, QWidget* parent) : QWidget(parent) {
    auto* dayRow = new QHBoxLayout;
    dayRow->setSpacing(2);
    for (int day = 1; day <= 7; ++day) {
        auto* button = days_[static_cast<std::size_t>(day - 1)] = new QToolButton;
        button->setText(qtext(shortDayName(day)));
        button->setAccessibleName(qtext(shortDayName(day)));
        button->setCheckable(true);
        dayRow->addWidget(button);
    }
    dayRow->addStretch(1);

    start_ = timeField(translated("From"));
    end_ = timeField(translated("Until"));
    auto* timeRow = new QHBoxLayout;
    timeRow->addWidget(new QLabel(translated("From")));
    timeRow->addWidget(start_);
    timeRow->addWidget(new QLabel(translated("Until")));
    timeRow->addWidget(end_);
    timeRow->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(dayRow);
    layout->addLayout(timeRow);
    setSchedule(schedule);
}

Schedule ScheduleEditor::schedule() const {
    Schedule schedule{0, minutesOf(start_->time()), minutesOf(end_->time())};
    for (int day = 1; day <= 7; ++day) {
        if (dayButton(day).isChecked()) schedule.days |= weekdayBit(day);
    }
    return schedule;
}

void ScheduleEditor::setSchedule(const Schedule& schedule) {
    for (int day = 1; day <= 7; ++day) dayButton(day).setChecked(containsWeekday(schedule.days, day));
    start_->setTime(timeOf(schedule.startMinutes));
    end_->setTime(timeOf(schedule.endMinutes));
}

ScheduleDialog::ScheduleDialog(const Schedule& schedule, std::function<void(const Schedule&)> changed,
                               QWidget* parent)
    : QDialog(parent), editor_(new ScheduleEditor(schedule)) {
    setWindowTitle(translated("Edit schedule"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, this, [this, changed = std::move(changed)] {
        changed(editor_->schedule());
        accept();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(editor_);
    layout->addWidget(buttons);
}

}  // namespace vigilo
