#include "ui/qt/windows/checked_field.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/app_settings.h"
#include "ui/qt/windows/form_window.h"

namespace vigilo {

CheckedField::CheckedField(const QString& label, bool secret, Check check, Store store)
    : check_(std::move(check)), store_(std::move(store)), edit_(new QLineEdit), problem_(refusalLine()) {
    edit_->setAccessibleName(label);
    if (secret) edit_->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(edit_);
    layout->addWidget(problem_);
    QObject::connect(edit_, &QLineEdit::textEdited, this, [this] { accepts(); });
    QObject::connect(edit_, &QLineEdit::editingFinished, this, [this] {
        if (!accepts()) return;
        store_(edit_->text().toStdString());
        edit_->setModified(false);
    });
}

bool CheckedField::accepts() {
    const auto reason = check_(edit_->text().toStdString());
    showRefusal(problem_, reason);
    return !reason;
}

void CheckedField::showStored(const std::string& value) {
    if (edit_->hasFocus() && edit_->isModified()) return;
    edit_->setText(QString::fromStdString(value));
    accepts();
}

CheckedField* pushFieldEditor(AppSettings& settings, PushField field, const QString& label, bool secret) {
    auto& setting = pushFieldSetting(settings, field);
    auto* editor = new CheckedField(
        label, secret, [field](const std::string& typed) { return checkPushField(field, typed).refusal; },
        [&setting, field](const std::string& typed) {
            const std::string text = checkPushField(field, typed).text;
            if (setting.get() != text) setting.set(text);
        });
    editor->edit().setObjectName(QString::fromStdString(setting.key()));
    editor->showStored(setting.get());
    return editor;
}

}  // namespace vigilo
