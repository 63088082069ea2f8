#include "ui/qt/windows/alerts_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "alerts/watchdog.h"
#include "alerts/webhook_manager.h"
#include "app/app_alerts.h"
#include "app/app_settings.h"
#include "support/tr.h"
#include "ui/alerts_window_model.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/windows/checked_field.h"
#include "ui/relative_time.h"
#include "ui/settings_form.h"

namespace vigilo {

namespace {

QLabel* heading(const QString& title) {
    auto* label = new QLabel(title);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

CheckedField::Check checkFor(AlertField field) {
    return [field](const std::string& value) { return alertFieldProblem(field, value); };
}

// A section's first line: its title or switch, then how its test went and
// "Send test".
QPushButton* addHeader(QBoxLayout& layout, QWidget* title, QLabel*& status) {
    auto* button = new QPushButton(translated("Send test"));
    status = new QLabel;
    status->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* row = new QHBoxLayout;
    row->addWidget(title);
    row->addWidget(status, 1);
    row->addWidget(button);
    layout.addLayout(row);
    return button;
}

// The fields of the webhook sections start at one edge.
void alignLabels(const std::vector<QFormLayout*>& forms) {
    int widest = 0;
    std::vector<QWidget*> labels;
    for (QFormLayout* form : forms) {
        for (int row = 0; row < form->rowCount(); ++row) {
            if (auto* item = form->itemAt(row, QFormLayout::LabelRole); item && item->widget()) {
                labels.push_back(item->widget());
                widest = std::max(widest, item->widget()->sizeHint().width());
            }
        }
    }
    for (QWidget* label : labels) label->setMinimumWidth(widest);
}

}  // namespace

AlertsWindow::AlertsWindow(const TrayServices& services, Loop& loop)
    : ToolWindow(translated("Vigilo Alerts"), QSize(480, 540)), services_(services), loop_(loop) {
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    for (const auto& section : webhookSections()) layout->addWidget(webhookSection(section));
    layout->addWidget(explanationLabel(translated(
        "Vigilo POSTs {title, body, event, app} as JSON. Alerts: agent stuck, battery/thermal critical, auto-sleep, "
        "session finished.")));
    layout->addWidget(pushSection());
    layout->addWidget(recentAlertsSection());
    layout->addStretch(1);
    alignLabels(webhookForms_);

    auto* scroll = new QScrollArea;
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
}

QWidget* AlertsWindow::webhookSection(const WebhookSectionView& section) {
    auto& webhooks = services_.webhooks;
    auto change = [&webhooks](auto apply) {
        WebhookConfig config = webhooks.config().get();
        apply(config);
        webhooks.setConfig(std::move(config));
    };

    auto* box = new QGroupBox;
    auto* layout = new QVBoxLayout(box);
    auto* enabled = new QCheckBox(qtext(section.title));
    QFont bold = enabled->font();
    bold.setBold(true);
    enabled->setFont(bold);
    QObject::connect(enabled, &QCheckBox::toggled, this, [change, flag = section.enabled](bool on) {
        change([&](WebhookConfig& c) { c.*flag = on; });
    });
    QLabel* status = nullptr;
    auto* button = addHeader(*layout, enabled, status);

    auto* form = new QFormLayout;
    webhookForms_.push_back(form);
    std::vector<std::pair<CheckedField*, std::string WebhookConfig::*>> shown;
    for (const WebhookFieldView& view : section.fields) {
        const QString label = qtext(view.label);
        auto* field = new CheckedField(label, view.secret, checkFor(view.field),
                                       [change, member = view.value](const std::string& value) {
                                           change([&](WebhookConfig& c) { c.*member = value; });
                                       });
        form->addRow(label, field);
        fields_.push_back(field);
        shown.emplace_back(field, view.value);
    }
    layout->addLayout(form);

    QObject::connect(button, &QPushButton::clicked, this, [this, channel = section.channel, status] {
        status->setText(translated("Sending\u2026"));
        services_.webhooks.test(channel, [status = QPointer<QLabel>(status)](bool sent) {
            if (status) status->setText(qtext(webhookTestResultText(sent)));
        });
    });

    auto show = [enabled, shown, flag = section.enabled](const WebhookConfig& config) {
        const QSignalBlocker quiet(enabled);
        enabled->setChecked(config.*flag);
        for (auto [field, member] : shown) field->showStored(config.*member);
    };
    show(webhooks.config().get());
    subscriptions_.push_back(webhooks.config().subscribe(show));
    return box;
}

QWidget* AlertsWindow::pushSection() {
    auto& settings = services_.settings;
    auto* box = new QGroupBox;
    auto* layout = new QVBoxLayout(box);
    provider_ = new QComboBox;
    for (const auto& option : pushOptions()) provider_->addItem(qtext(option.label), int(option.provider));
    provider_->setAccessibleName(translated("Phone push"));
    QObject::connect(provider_, &QComboBox::activated, this, [this](int index) {
        services_.settings.pushProvider.set(static_cast<PushProvider>(provider_->itemData(index).toInt()));
    });
    QLabel* status = nullptr;
    auto* title = new QWidget;
    auto* titleLine = new QHBoxLayout(title);
    titleLine->setContentsMargins(0, 0, 0, 0);
    titleLine->addWidget(heading(translated("Phone push")));
    titleLine->addWidget(provider_);
    pushTest_ = addHeader(*layout, title, status);
    auto* form = pushForm_ = new QFormLayout;

    auto addField = [&](const QString& label, PushField kind, bool secret) {
        auto& setting = pushFieldSetting(settings, kind);
        auto* field = pushFieldEditor(settings, kind, label, secret);
        form->addRow(label, field);
        fields_.push_back(field);
        subscriptions_.push_back(setting.subscribe([field](const std::string& v) { field->showStored(v); }));
        return field;
    };
    ntfyRows_ = {
        addField(translated("ntfy server"), PushField::ntfyServer, false),
        addField(translated("Topic (pick a unique secret word)"), PushField::ntfyTopic, true)};
    auto* ntfyNote = explanationLabel(translated(
        "Install the ntfy app on your phone and subscribe to the same topic. Then any finished task pings your "
        "phone."));
    form->addRow(ntfyNote);
    ntfyRows_.push_back(ntfyNote);
    pushoverRows_ = {
        addField(translated("Application token"), PushField::pushoverToken, true),
        addField(translated("User key"), PushField::pushoverUser, true)};
    layout->addLayout(form);

    QObject::connect(pushTest_, &QPushButton::clicked, this, [this, status] {
        const auto& s = services_.settings;
        const PushRequest request{s.pushProvider.get(),  s.ntfyServer.get(),   s.ntfyTopic.get(),
                                  s.pushoverToken.get(), s.pushoverUser.get(), vigilo::tr("Test alert"),
                                  vigilo::tr("Phone push is working.")};
        if (!pushWouldBeSent(request)) {
            status->setText(qtext(webhookTestResultText(false)));
            return;
        }
        services_.alerts.push(request);
        status->setText(translated("Test sent \u2014 check your phone."));
    });
    subscriptions_.push_back(settings.pushProvider.subscribe([this](auto) { showPushProvider(); }));
    showPushProvider();
    return box;
}

// Only the chosen provider's fields show; the other's values stay stored.
void AlertsWindow::showPushProvider() {
    const PushProvider provider = services_.settings.pushProvider.get();
    provider_->setCurrentIndex(provider_->findData(int(provider)));
    for (QWidget* row : ntfyRows_) pushForm_->setRowVisible(row, provider == PushProvider::ntfy);
    for (QWidget* row : pushoverRows_) pushForm_->setRowVisible(row, provider == PushProvider::pushover);
    pushTest_->setEnabled(provider != PushProvider::none);
}

QWidget* AlertsWindow::recentAlertsSection() {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(heading(translated("Recent alerts")));
    recentAlerts_ = new QLabel;
    recentAlerts_->setTextFormat(Qt::RichText);
    recentAlerts_->setWordWrap(true);
    layout->addWidget(recentAlerts_);
    subscriptions_.push_back(services_.watchdog.recentAlerts.subscribe([this](const auto&) { showRecentAlerts(); }));
    showRecentAlerts();
    return box;
}

void AlertsWindow::showRecentAlerts() {
    const WallTime now = loop_.clock().wallNow();
    const QString secondary = palette().color(QPalette::PlaceholderText).name();
    QString html;
    for (const auto& alert : services_.watchdog.recentAlerts.get()) {
        html += QStringLiteral("<p>\u26a0 %1<br><span style=\"color: %2\">%3</span></p>")
                    .arg(qtext(alert.message).toHtmlEscaped(), secondary,
                         qtext(relativeTimeText(alert.at, now, RelativeTimeStyle::spelledOut)));
    }
    recentAlerts_->setText(html.isEmpty() ? translated("No recent alerts") : html);
}

void AlertsWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    showRecentAlerts();
}

}  // namespace vigilo
