#include "ui/qt/windows/checked_field.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace vigilo {

CheckedField::CheckedField(const QString& label, bool secret, Check check, Store store)
    : check_(std::move(check)), store_(std::move(store)), edit_(new QLineEdit), problem_(new QLabel) {
    edit_->setAccessibleName(label);
    if (secret) edit_->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #c01c28"));
    problem_->hide();
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
    problem_->setText(reason ? QString::fromStdString(*reason) : QString());
    problem_->setVisible(reason.has_value());
    return !reason;
}

void CheckedField::showStored(const std::string& value) {
    if (edit_->hasFocus() && edit_->isModified()) return;
    edit_->setText(QString::fromStdString(value));
    accepts();
}

}  // namespace vigilo
