#include "ui/qt/install_dialog.h"

#include <QMessageBox>
#include <QPushButton>

#include "ui/install_dialog_model.h"
#include "ui/qt/qt_text.h"

namespace vigilo {

namespace {

constexpr CliInstallTarget kTargets[] = {CliInstallTarget::user, CliInstallTarget::system,
                                         CliInstallTarget::uninstall};

}  // namespace

void runInstallDialog(CLIInstaller& installer) {
    const auto texts = installDialogTexts();
    QMessageBox question(QMessageBox::Question, QStringLiteral("Vigilo"), qtext(texts.message));
    question.setInformativeText(qtext(texts.informativeText));
    QAbstractButton* targets[3];
    for (int i = 0; i < 3; ++i) targets[i] = question.addButton(qtext(texts.buttons[i]), QMessageBox::AcceptRole);
    question.setDefaultButton(question.addButton(qtext(texts.buttons[3]), QMessageBox::RejectRole));
    question.setWindowFlag(Qt::WindowStaysOnTopHint);
    question.exec();
    for (int i = 0; i < 3; ++i) {
        if (question.clickedButton() != targets[i]) continue;
        const auto alert = installResultAlert(installer.run(kTargets[i]));
        QMessageBox result(alert.warning ? QMessageBox::Warning : QMessageBox::Information, QStringLiteral("Vigilo"),
                           qtext(alert.message), QMessageBox::Ok);
        result.setInformativeText(qtext(alert.informativeText));
        result.exec();
    }
}

}  // namespace vigilo
