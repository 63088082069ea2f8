#include "ui/qt/windows/settings_mqtt_section.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/app_settings.h"
#include "app/mqtt/mqtt_settings_service.h"
#include "support/tr.h"
#include "ui/qt/windows/form_window.h"

namespace vigilo {

namespace {

QCheckBox* switchFor(FormWindow& window, const std::string& text, Setting<bool>& setting) {
    auto* box = new QCheckBox(qtext(text));
    box->setObjectName(QString::fromStdString(setting.key()));
    box->setChecked(setting.get());
    QObject::connect(box, &QCheckBox::toggled, box, [&setting](bool on) {
        if (setting.get() != on) setting.set(on);
    });
    window.keep(setting.subscribe([box](bool on) { box->setChecked(on); }));
    return box;
}

QLineEdit* fieldFor(FormWindow& window, const char* placeholder, Setting<std::string>& setting) {
    auto* field = new QLineEdit(qtext(setting.get()));
    field->setObjectName(QString::fromStdString(setting.key()));
    field->setPlaceholderText(QString::fromUtf8(placeholder));
    QObject::connect(field, &QLineEdit::editingFinished, field, [field, &setting] {
        const auto typed = field->text().trimmed().toStdString();
        if (typed != setting.get()) setting.set(typed);
    });
    window.keep(setting.subscribe([field](const std::string& value) {
        if (!field->hasFocus()) field->setText(qtext(value));
    }));
    return field;
}

QWidget* passwordRow(MqttSettingsService& service, QLabel* status) {
    auto* field = new QLineEdit;
    field->setObjectName(QStringLiteral("mqttPassword"));
    field->setEchoMode(QLineEdit::Password);
    field->setPlaceholderText(qtext(vigilo::tr("Stored in the keyring")));
    QObject::connect(field, &QLineEdit::editingFinished, field, [field, status, &service] {
        if (field->text().isEmpty()) return;
        const auto password = field->text().toStdString();
        field->clear();
        QPointer<QLabel> shown(status);
        service.setPassword(password, [shown](std::optional<std::string> failure) {
            if (!shown) return;
            shown->setText(qtext(failure ? trFormat("The password was not stored: {}", *failure)
                                         : std::string(vigilo::tr("Password stored."))));
        });
    });
    return field;
}

QPushButton* testButton(MqttSettingsService& service, QLabel* status) {
    auto* button = plainButton(vigilo::tr("Test connection"));
    button->setObjectName(QStringLiteral("mqttTest"));
    QObject::connect(button, &QPushButton::clicked, button, [button, status, &service] {
        button->setEnabled(false);
        status->setText(qtext(vigilo::tr("Connecting…")));
        QPointer<QPushButton> pressed(button);
        QPointer<QLabel> shown(status);
        service.testConnection([pressed, shown](std::string text) {
            if (pressed) pressed->setEnabled(true);
            if (shown) shown->setText(qtext(text));
        });
    });
    return button;
}

}  // namespace

QGroupBox* mqttSettingsSection(FormWindow& window, AppSettings& settings, MqttSettingsService* service) {
    auto* box = new QGroupBox(qtext(vigilo::tr("Home Assistant and MQTT")));
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(switchFor(window, vigilo::tr("Publish this computer to an MQTT broker"), settings.mqttEnabled));
    auto* form = new QFormLayout;
    form->addRow(qtext(vigilo::tr("Broker")), fieldFor(window, "mqtt://broker.local:1883", settings.mqttBroker));
    form->addRow(qtext(vigilo::tr("User name")), fieldFor(window, "", settings.mqttUsername));
    auto* status = paragraph("");
    status->setObjectName(QStringLiteral("mqttStatus"));
    if (service) form->addRow(qtext(vigilo::tr("Password")), passwordRow(*service, status));
    layout->addLayout(form);
    layout->addWidget(switchFor(window, vigilo::tr("Accept commands from Home Assistant"),
                                 settings.mqttAcceptCommands));
    layout->addWidget(paragraph(vigilo::tr("Home Assistant shows this computer as a device by itself, and "
                                           "`vigilo fleet` lists every computer on the broker.")));
    if (service) layout->addWidget(rowOf({testButton(*service, status)}));
    layout->addWidget(status);
    return box;
}

}  // namespace vigilo
