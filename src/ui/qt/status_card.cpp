#include "ui/qt/status_card.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/why/inhibitor_watch.h"
#include "support/log.h"
#include "support/tr.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/window_frame.h"
#include "ui/why_facts.h"

namespace vigilo {

namespace {

constexpr int kIconSize = 16;

Logger log_{"Tray"};

QLabel* iconLabel(int size) {
    auto* label = new QLabel;
    label->setFixedSize(size, size);
    return label;
}

void setIcon(QLabel& label, const std::string& name, int size) {
    label.setPixmap(QIcon::fromTheme(qtext(name)).pixmap(size, size));
}

// A bar of 0…100; a process may use more than one core, so it is capped.
QProgressBar* bar(const QString& what, double percent) {
    auto* bar = new QProgressBar;
    bar->setRange(0, 100);
    bar->setValue(static_cast<int>(std::clamp(percent, 0.0, 100.0)));
    bar->setFormat(QStringLiteral("%1 %2%").arg(what).arg(static_cast<int>(percent + 0.5)));
    bar->setAccessibleName(bar->format());
    bar->setMaximumHeight(14);
    bar->setMinimumWidth(110);
    return bar;
}

// Qt's own cleanup of a layout's items, widgets and all.
void clear(QLayout& layout) {
    while (QLayoutItem* item = layout.takeAt(0)) {
        delete item->widget();
        delete item;
    }
}

}  // namespace

StatusCard::StatusCard(const TrayServices& services, Loop& loop, std::function<void()> quit, Notice notice)
    : state_(services.state),
      loop_(loop),
      actions_(services.state, loop, services.launchAtLogin),
      quit_(std::move(quit)),
      notice_(std::move(notice)) {
    frameWindow(*this, qtext(vigilo::tr(kStatusWindowTitle)), QSize());
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(header());

    notice_line_ = new QLabel;
    notice_line_->setWordWrap(true);
    notice_line_->setFixedWidth(340);
    layout->addWidget(notice_line_);

    time_ = new QLabel;
    QFont big = time_->font();
    big.setPointSizeF(big.pointSizeF() * 2.4);
    big.setBold(true);
    time_->setFont(big);
    timeCaption_ = new QLabel;
    auto* clock = new QHBoxLayout;
    clock->addWidget(time_);
    clock->addWidget(timeCaption_, 1, Qt::AlignBottom);
    layout->addLayout(clock);

    workloads_ = new QGridLayout;
    layout->addLayout(workloads_);
    layout->addWidget(readings());

    actionRow_ = new QHBoxLayout;
    layout->addLayout(actionRow_);
    auto* quitButton = new QPushButton(qtext(vigilo::tr("Quit Vigilo")));
    quitButton->setAutoDefault(false);
    QObject::connect(quitButton, &QPushButton::clicked, this, [this] {
        loop_.post([quit = quit_] { quit(); });
    });
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(quitButton);
    layout->addLayout(bottom);

    if ((inhibitors_ = services.inhibitors)) {
        followInhibitors_ = inhibitors_->entries.subscribe([this](const auto&) {
            if (isVisible()) redraw();
        });
    }
    subscriptions_ = watchStateFacts(state_, [this] {
        if (isVisible()) redraw();
    });
}

QWidget* StatusCard::header() {
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    icon_ = iconLabel(32);
    mode_ = new QLabel;
    mode_->setWordWrap(true);
    mode_->setFixedWidth(300);
    row->addWidget(icon_);
    row->addWidget(mode_, 1);
    return box;
}

QWidget* StatusCard::readings() {
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    batteryIcon_ = iconLabel(kIconSize);
    battery_ = new QLabel;
    auto* thermometer = iconLabel(kIconSize);
    setIcon(*thermometer, iconThemeName(StateIcon::thermometer), kIconSize);
    temperature_ = new QLabel;
    row->addWidget(batteryIcon_);
    row->addWidget(battery_);
    row->addSpacing(16);
    row->addWidget(thermometer);
    row->addWidget(temperature_);
    row->addStretch(1);
    return box;
}

void StatusCard::redraw() {
    const StatusView view = [&] {
        auto facts = gatherStateFacts(state_);
        if (inhibitors_) addOthersKeepingAwake(facts, inhibitors_->entries.get());
        auto built = buildStatusView(facts);
        built.notice = notice_();
        return built;
    }();
    if (view.notice && view.notice != loggedNotice_) log_.info("The status window says: {}", *view.notice);
    loggedNotice_ = view.notice;
    setIcon(*icon_, iconThemeName(view.icon), 32);
    // "Auto Mode · keeping awake (claude)" names its mode already.
    const bool named = view.liveStatus.starts_with(view.modeLabel);
    const std::string reason = named ? view.liveStatus.substr(view.modeLabel.size()) : " \u2014 " + view.liveStatus;
    mode_->setText(QStringLiteral("<b>%1</b>%2").arg(qtext(view.modeLabel).toHtmlEscaped(),
                                                     qtext(reason).toHtmlEscaped()));
    notice_line_->setVisible(view.notice || view.othersLine);
    notice_line_->setText(qtext(view.notice.value_or("") + (view.notice && view.othersLine ? "\n" : "") +
                                view.othersLine.value_or("")));
    time_->setVisible(!view.time.empty());
    timeCaption_->setVisible(!view.time.empty());
    time_->setText(qtext(view.time));
    timeCaption_->setText(qtext(view.timeCaption));
    if (view.workloads != shownWorkloads_) drawWorkloads(view.workloads);
    batteryIcon_->setVisible(view.battery.has_value());
    battery_->setVisible(view.battery.has_value());
    if (view.battery) {
        setIcon(*batteryIcon_, view.batteryIcon, kIconSize);
        battery_->setText(qtext(*view.battery));
    }
    temperature_->setText(qtext(view.temperature));
    temperature_->setAccessibleName(qtext(vigilo::trFormat("Temperature: {}", view.temperature)));
    if (view.actions != shownActions_) drawActions(view.actions);
}

void StatusCard::drawWorkloads(const std::vector<StatusWorkload>& workloads) {
    shownWorkloads_ = workloads;
    clear(*workloads_);
    int row = 0;
    for (const auto& workload : workloads) {
        auto* name = new QLabel(qtext(workload.idle ? workload.name + " " + vigilo::tr("(idle)") : workload.name));
        workloads_->addWidget(name, row, 0);
        workloads_->addWidget(bar(QStringLiteral("CPU"), workload.cpuPercent), row, 1);
        if (workload.gpuPercent >= 0) workloads_->addWidget(bar(QStringLiteral("GPU"), workload.gpuPercent), row, 2);
        ++row;
    }
}

void StatusCard::drawActions(const std::vector<MenuItem>& actions) {
    shownActions_ = actions;
    for (QPushButton* button : std::exchange(actionButtons_, {})) delete button;
    for (std::size_t i = 0; i < actions.size(); ++i) {
        auto* button = new QPushButton(qtext(actions[i].text));
        button->setAutoDefault(false);
        button->setCheckable(actions[i].kind == MenuItem::Kind::check || actions[i].checked);
        button->setChecked(actions[i].checked);
        QObject::connect(button, &QPushButton::clicked, this, [this, i] {
            if (i < shownActions_.size()) actions_.perform(shownActions_[i]);
        });
        actionRow_->addWidget(button);
        button->show();  // at once, not at the next turn of Qt's loop
        actionButtons_.push_back(button);
    }
}

void StatusCard::present() {
    redraw();
    presentWindow(*this);
}

void StatusCard::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    redrawTimer_ = loop_.startRepeating(std::chrono::seconds(1), [this] { redraw(); });
}

void StatusCard::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    redrawTimer_.cancel();
}

}  // namespace vigilo
