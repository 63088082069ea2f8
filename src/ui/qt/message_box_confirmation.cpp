#include "ui/qt/message_box_confirmation.h"

#include <QMessageBox>
#include <QPushButton>

namespace vigilo {

bool MessageBoxConfirmation::confirm(const std::string& message, const std::string& informativeText,
                                     const std::string& confirmButton, const std::string& cancelButton) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Vigilo"), QString::fromStdString(message));
    box.setInformativeText(QString::fromStdString(informativeText));
    auto* confirm = box.addButton(QString::fromStdString(confirmButton), QMessageBox::AcceptRole);
    box.setDefaultButton(box.addButton(QString::fromStdString(cancelButton), QMessageBox::RejectRole));
    // A tray application has no window of its own in front: bring the box
    // there.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
    return box.clickedButton() == confirm;
}

}  // namespace vigilo
