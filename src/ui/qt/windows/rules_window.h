#pragma once

#include <string>
#include <vector>

#include "support/handle.h"
#include "support/loop.h"
#include "ui/qt/windows/tool_window.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;

namespace vigilo {

class AppSettings;
class RulesStore;
class ScheduleEditor;
struct Rule;

// The Smart Rules window: the feature's switch, the rules with their
// summaries, switches and last firing, adding a rule from one of three
// templates (a program runs, a schedule, a remote login), editing the days
// and times of a schedule rule, deleting custom rules and going back to the
// built-in set. Every change goes through the store, which saves it. Main
// thread only.
class RulesWindow final : public ToolWindow {
public:
    RulesWindow(RulesStore& rules, AppSettings& settings, Loop& loop);

    // The templates in the order of Template.
    enum class Template { program, schedule, remoteSession };
    QComboBox& templateChoice() const { return *templateChoice_; }
    QLineEdit& processField() const { return *processField_; }
    ScheduleEditor& scheduleEditor() const { return *scheduleEditor_; }
    QPushButton& addButton() const { return *addButton_; }
    // A schedule rule's row has an "Edit" button; nullptr for other rules.
    QToolButton* editButton(std::size_t position) const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Row {
        std::string id;
        QCheckBox* enabled;
        QLabel* name;
        QLabel* summary;
        QLabel* lastTriggered;
        QToolButton* remove = nullptr;  // custom rules only
        QToolButton* edit = nullptr;    // schedule rules only
    };

    QWidget* featureSwitch();
    QWidget* addRuleSection();
    void showRules(const std::vector<Rule>& rules);
    void buildRows(const std::vector<Rule>& rules);
    void orderTabs();
    Row addRow(const Rule& rule, std::size_t position);
    void fillRow(Row& row, const Rule& rule);
    void addFromTemplate();
    void editSchedule(const std::string& id);

    RulesStore& rules_;
    AppSettings& settings_;
    Loop& loop_;
    QCheckBox* featureToggle_;
    QVBoxLayout* list_;
    std::vector<Row> rows_;
    QComboBox* templateChoice_;
    QStackedWidget* templatePages_;
    QLineEdit* processField_;
    ScheduleEditor* scheduleEditor_;
    QPushButton* addButton_;
    std::vector<Handle> subscriptions_;
    Handle refresh_;
};

}  // namespace vigilo
