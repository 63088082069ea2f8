#include "ui/qt/windows/rules_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <algorithm>
#include <set>

#include "app/app_settings.h"
#include "rules/rules_store.h"
#include "rules/rule_templates.h"
#include "support/tr.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/windows/schedule_editor.h"
#include "ui/relative_time.h"

namespace vigilo {

namespace {

std::vector<std::string> idsOf(const std::vector<Rule>& rules) {
    std::vector<std::string> ids;
    for (const auto& rule : rules) ids.push_back(rule.id);
    return ids;
}

// The spelled-out time since the last firing goes stale while the window is
// open; this often is enough for minutes.
constexpr auto kRefreshEvery = std::chrono::seconds(30);

}  // namespace

RulesWindow::RulesWindow(RulesStore& rules, AppSettings& settings, Loop& loop)
    : ToolWindow(translated("Vigilo Smart Rules"), QSize(480, 560)), rules_(rules), settings_(settings), loop_(loop) {
    auto* listHolder = new QWidget;
    list_ = new QVBoxLayout(listHolder);
    list_->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea;
    scroll->setWidget(listHolder);
    scroll->setWidgetResizable(true);

    auto* reset = new QPushButton(translated("Reset to default rules"));
    QObject::connect(reset, &QPushButton::clicked, this, [this] { rules_.resetToDefaults(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(featureSwitch());
    layout->addWidget(scroll, 1);
    layout->addWidget(explanationLabel(
        translated("Built-in rules can be turned off but not deleted. Rules with a Sleep or Closed-lid action change "
             "your computer \u2014 enable them deliberately.")));
    layout->addWidget(addRuleSection());
    layout->addWidget(reset, 0, Qt::AlignLeft);

    subscriptions_.push_back(rules_.rules().subscribe([this](const auto& list) { showRules(list); }));
    showRules(rules_.rules().get());
    setTabOrder(templateChoice_, processField_);
    setTabOrder(processField_, addButton_);
    setTabOrder(addButton_, reset);
}

QWidget* RulesWindow::featureSwitch() {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* toggle = featureToggle_ = new QCheckBox(translated("Enable Smart Rules"));
    QFont bold = toggle->font();
    bold.setBold(true);
    toggle->setFont(bold);
    toggle->setChecked(settings_.smartRulesEnabled.get());
    QObject::connect(toggle, &QCheckBox::toggled, this, [this](bool on) { settings_.smartRulesEnabled.set(on); });
    subscriptions_.push_back(settings_.smartRulesEnabled.subscribe([toggle](bool on) {
        const QSignalBlocker quiet(toggle);
        toggle->setChecked(on);
    }));
    layout->addWidget(toggle);
    layout->addWidget(explanationLabel(translated(
        "Rules run only while this switch is on. Vigilo reacts to your AI/dev workloads, battery and temperature "
        "automatically.")));
    return box;
}

QWidget* RulesWindow::addRuleSection() {
    auto* group = new QGroupBox(translated("Add a rule"));
    templateChoice_ = new QComboBox;
    templateChoice_->addItem(translated("When a program runs"));
    templateChoice_->addItem(translated("On a schedule"));
    templateChoice_->addItem(translated("While someone is logged in remotely"));
    templateChoice_->setAccessibleName(translated("Add a rule"));

    processField_ = new QLineEdit;
    processField_->setPlaceholderText(translated("Process name (e.g. blender, vllm)"));
    processField_->setAccessibleName(translated("Process name (e.g. blender, vllm)"));
    QObject::connect(processField_, &QLineEdit::returnPressed, this, [this] { addFromTemplate(); });
    auto* programPage = new QWidget;
    auto* programLayout = new QVBoxLayout(programPage);
    programLayout->setContentsMargins(0, 0, 0, 0);
    programLayout->addWidget(processField_);
    programLayout->addWidget(
        explanationLabel(translated("Adds a rule: when that process runs \u2192 keep awake + AI cooling.")));

    scheduleEditor_ = new ScheduleEditor;
    auto* schedulePage = new QWidget;
    auto* scheduleLayout = new QVBoxLayout(schedulePage);
    scheduleLayout->setContentsMargins(0, 0, 0, 0);
    scheduleLayout->addWidget(scheduleEditor_);
    scheduleLayout->addWidget(explanationLabel(
        translated("Keeps the computer awake on these days between these times, and lets it sleep after.")));

    auto* remotePage = explanationLabel(translated(
        "Keeps the computer awake while you are logged in to it from elsewhere (SSH, remote desktop)."));

    templatePages_ = new QStackedWidget;
    for (QWidget* page : {programPage, schedulePage, static_cast<QWidget*>(remotePage)}) {
        templatePages_->addWidget(page);
    }
    QObject::connect(templateChoice_, &QComboBox::currentIndexChanged, templatePages_,
                     &QStackedWidget::setCurrentIndex);

    addButton_ = new QPushButton(translated("Add"));
    addButton_->setDefault(true);
    QObject::connect(addButton_, &QPushButton::clicked, this, [this] { addFromTemplate(); });
    auto* chooser = new QHBoxLayout;
    chooser->addWidget(templateChoice_, 1);
    chooser->addWidget(addButton_);
    auto* layout = new QVBoxLayout(group);
    layout->addLayout(chooser);
    layout->addWidget(templatePages_);
    return group;
}

// The store trims, lower-cases and ignores a blank process name; the field
// is cleared only when a rule was added.
void RulesWindow::addFromTemplate() {
    const WallTime now = loop_.clock().wallNow();
    switch (static_cast<Template>(templateChoice_->currentIndex())) {
    case Template::program: {
        const std::size_t before = rules_.rules().get().size();
        rules_.addCustomRule(processField_->text().toStdString());
        if (rules_.rules().get().size() != before) processField_->clear();
        break;
    }
    case Template::schedule: rules_.addRule(scheduleRule(scheduleEditor_->schedule(), now)); break;
    case Template::remoteSession: rules_.addRule(remoteSessionRule(now)); break;
    }
}

void RulesWindow::editSchedule(const std::string& id) {
    const auto& rules = rules_.rules().get();
    auto it = std::ranges::find(rules, id, &Rule::id);
    if (it == rules.end()) return;
    const auto schedule = scheduleOf(*it);
    if (!schedule) return;
    auto* dialog = new ScheduleDialog(
        *schedule, [this, id](const Schedule& changed) { rules_.changeSchedule(id, changed); }, this);
    dialog->open();
}

QToolButton* RulesWindow::editButton(std::size_t position) const {
    return position < rows_.size() ? rows_[position].edit : nullptr;
}

// A switch flipped or a firing recorded keeps the rows (and the keyboard
// focus on them); a rule added, deleted or reset builds them anew.
void RulesWindow::showRules(const std::vector<Rule>& rules) {
    std::vector<std::string> shown;
    for (const auto& row : rows_) shown.push_back(row.id);
    if (shown != idsOf(rules)) {
        buildRows(rules);
        return;
    }
    for (std::size_t i = 0; i < rules.size(); ++i) fillRow(rows_[i], rules[i]);
}

void RulesWindow::buildRows(const std::vector<Rule>& rules) {
    while (QLayoutItem* item = list_->takeAt(0)) {
        if (item->widget()) item->widget()->deleteLater();
        delete item;
    }
    rows_.clear();
    for (std::size_t i = 0; i < rules.size(); ++i) rows_.push_back(addRow(rules[i], i));
    list_->addStretch(1);
    orderTabs();
}

// Rows made after the window would otherwise come last in the tab order.
void RulesWindow::orderTabs() {
    QWidget* previous = featureToggle_;
    for (const Row& row : rows_) {
        for (QWidget* next : {static_cast<QWidget*>(row.enabled), static_cast<QWidget*>(row.edit),
                              static_cast<QWidget*>(row.remove)}) {
            if (!next) continue;
            setTabOrder(previous, next);
            previous = next;
        }
    }
    setTabOrder(previous, templateChoice_);
}

RulesWindow::Row RulesWindow::addRow(const Rule& rule, std::size_t position) {
    auto* box = new QWidget;
    Row row{rule.id, new QCheckBox, new QLabel, new QLabel, new QLabel};
    QFont bold = row.name->font();
    bold.setBold(true);
    row.name->setFont(bold);
    row.name->setWordWrap(true);
    row.summary->setWordWrap(true);
    row.lastTriggered->setForegroundRole(QPalette::PlaceholderText);
    QObject::connect(row.enabled, &QCheckBox::toggled, this,
                     [this, id = rule.id](bool on) { rules_.setEnabled(id, on); });

    auto* titleLine = new QHBoxLayout;
    if (rule.isBuiltIn) {
        auto* lock = new QLabel;
        const int size = row.name->fontMetrics().height();
        lock->setPixmap(QIcon::fromTheme(QStringLiteral("vigilo-lock-symbolic")).pixmap(size, size));
        lock->setToolTip(translated("Built-in rule"));
        titleLine->addWidget(lock);
    }
    titleLine->addWidget(row.name, 1);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    texts->addLayout(titleLine);
    texts->addWidget(row.summary);
    texts->addWidget(row.lastTriggered);

    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(row.enabled, 0, Qt::AlignTop);
    layout->addLayout(texts, 1);
    if (scheduleOf(rule)) {
        auto* edit = row.edit = new QToolButton;
        edit->setText(translated("Edit"));
        edit->setAccessibleName(qtext(trFormat("Edit {}", rule.name)));
        QObject::connect(edit, &QToolButton::clicked, this, [this, id = rule.id] { editSchedule(id); });
        layout->addWidget(edit, 0, Qt::AlignTop);
    }
    if (!rule.isBuiltIn) {
        auto* remove = row.remove = new QToolButton;
        remove->setText(translated("Delete"));
        remove->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
        remove->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        remove->setAccessibleName(qtext(trFormat("Delete {}", rule.name)));
        QObject::connect(remove, &QToolButton::clicked, this, [this, position] { rules_.deleteRules({position}); });
        layout->addWidget(remove, 0, Qt::AlignTop);
    }
    list_->addWidget(box);
    fillRow(row, rule);
    return row;
}

void RulesWindow::fillRow(Row& row, const Rule& rule) {
    {
        const QSignalBlocker quiet(row.enabled);
        row.enabled->setChecked(rule.isEnabled);
    }
    row.enabled->setAccessibleName(qtext(rule.name));
    if (row.edit) row.edit->setAccessibleName(qtext(trFormat("Edit {}", rule.name)));
    row.name->setText(qtext(rule.name));
    row.summary->setText(qtext(rule.summaryLine()));
    row.lastTriggered->setVisible(rule.lastTriggeredAt.has_value());
    if (rule.lastTriggeredAt) {
        const std::string since =
            relativeTimeText(*rule.lastTriggeredAt, loop_.clock().wallNow(), RelativeTimeStyle::spelledOut);
        row.lastTriggered->setText(qtext(trFormat("Last triggered {}", since)));
    }
}

void RulesWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    showRules(rules_.rules().get());
    refresh_ = loop_.startRepeating(kRefreshEvery, [this] { showRules(rules_.rules().get()); });
}

void RulesWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    refresh_.cancel();
}

}  // namespace vigilo
