#pragma once

#include <string>
#include <vector>

#include "support/handle.h"
#include "support/loop.h"
#include "ui/qt/windows/tool_window.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace vigilo {

class AppSettings;
class RulesStore;
struct Rule;

// The Smart Rules window: the feature's switch, the rules with their
// summaries, switches and last firing, adding a custom rule for a process,
// deleting custom rules and going back to the built-in set. Every change
// goes through the store, which saves it. Main thread only.
class RulesWindow final : public ToolWindow {
public:
    RulesWindow(RulesStore& rules, AppSettings& settings, Loop& loop);

    QLineEdit& processField() const { return *processField_; }
    QPushButton& addButton() const { return *addButton_; }

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
    };

    QWidget* featureSwitch();
    QWidget* addRuleSection();
    void showRules(const std::vector<Rule>& rules);
    void buildRows(const std::vector<Rule>& rules);
    void orderTabs();
    Row addRow(const Rule& rule, std::size_t position);
    void fillRow(Row& row, const Rule& rule);
    void addCustomRule();

    RulesStore& rules_;
    AppSettings& settings_;
    Loop& loop_;
    QCheckBox* featureToggle_;
    QVBoxLayout* list_;
    std::vector<Row> rows_;
    QLineEdit* processField_;
    QPushButton* addButton_;
    std::vector<Handle> subscriptions_;
    Handle refresh_;
};

}  // namespace vigilo
