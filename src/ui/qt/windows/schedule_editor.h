#pragma once

#include <QDialog>
#include <QWidget>
#include <array>
#include <functional>

#include "rules/rule_templates.h"

class QTimeEdit;
class QToolButton;

namespace vigilo {

// The days and times of an "On a schedule" rule: one toggle per day, Monday
// to Sunday, and the two times. An end before the start runs past midnight.
class ScheduleEditor final : public QWidget {
public:
    explicit ScheduleEditor(const Schedule& schedule = {}, QWidget* parent = nullptr);

    Schedule schedule() const;
    void setSchedule(const Schedule& schedule);

    QToolButton& dayButton(int isoDay) const { return *days_[static_cast<std::size_t>(isoDay - 1)]; }
    QTimeEdit& startField() const { return *start_; }
    QTimeEdit& endField() const { return *end_; }

private:
    std::array<QToolButton*, 7> days_{};
    QTimeEdit* start_;
    QTimeEdit* end_;
};

// A schedule row's "Edit": the editor with OK and Cancel, shown without
// blocking; `changed` runs with the new schedule when OK is pressed. The
// dialog deletes itself when closed.
class ScheduleDialog final : public QDialog {
public:
    ScheduleDialog(const Schedule& schedule, std::function<void(const Schedule&)> changed, QWidget* parent);

    ScheduleEditor& editor() const { return *editor_; }

private:
    ScheduleEditor* editor_;
};

}  // namespace vigilo
