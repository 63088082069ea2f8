#include "ui/qt/install_dialog.h"

#include <QMessageBox>
#include <QPushButton>

#include "ui/install_dialog_model.h"

namespace vigilo {

namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }

constexpr CliInstallTarget kTargets[] = {CliInstallTarget::user, CliInstallTarget::system,
                                         CliInstallTarget::uninstall};

}  // namespace

void runInstallDialog(CLIInstaller& installer) {
    const auto texts = installDialogTexts();
    QMessageBox question(QMessageBox::Question, QStringLiteral("Vigilo"), text(texts.message));
    question.setInformativeText(text(texts.informativeText));
    QAbstractButton* targets[3];
    for (int i = 0; i < 3; ++i) targets[i] = question.addButton(text(texts.buttons[i]), QMessageBox::AcceptRole);
    question.setDefaultButton(question.addButton(text(texts.buttons[3]), QMessageBox::RejectRole));
    question.setWindowFlag(Qt::WindowStaysOnTopHint);
    question.exec();
    for (int i = 0; i < 3; ++i) {
        if (question.clickedButton() != targets[i]) continue;
        const auto alert = installResultAlert(installer.run(kTargets[i]));
        QMessageBox result(alert.warning ? QMessageBox::Warning : QMessageBox::Information, QStringLiteral("Vigilo"),
                           text(alert.message), QMessageBox::Ok);
        result.setInformativeText(text(alert.informativeText));
        result.exec();
    }
}

}  // namespace vigilo
