#include "ui/qt/install_dialog.h"

#include <QMessageBox>
#include <QPushButton>

#include <cstdlib>
#include <vector>

#include "cli/cli_installer.h"
#include "ui/install_dialog_model.h"
#include "ui/qt/qt_text.h"

namespace vigilo {

VigiloOnPath vigiloOnOurPath(const CLIInstaller& installer) {
    const char* path = std::getenv("PATH");
    return findVigiloOnPath(path ? path : "", installer.userTarget(), isExecutableFile);
}

void runInstallDialog(CLIInstaller& installer) {
    const auto texts = installDialogTexts(vigiloOnOurPath(installer));
    QMessageBox question(QMessageBox::Question, QStringLiteral("Vigilo"), qtext(texts.message));
    question.setInformativeText(qtext(texts.informativeText));
    std::vector<QAbstractButton*> buttons;
    for (const auto& choice : texts.choices) {
        buttons.push_back(question.addButton(qtext(choice.label), QMessageBox::AcceptRole));
    }
    question.setDefaultButton(question.addButton(qtext(texts.cancel), QMessageBox::RejectRole));
    question.setWindowFlag(Qt::WindowStaysOnTopHint);
    question.exec();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (question.clickedButton() != buttons[i]) continue;
        const auto alert = installResultAlert(installer.run(texts.choices[i].target));
        QMessageBox result(alert.warning ? QMessageBox::Warning : QMessageBox::Information, QStringLiteral("Vigilo"),
                           qtext(alert.message), QMessageBox::Ok);
        result.setInformativeText(qtext(alert.informativeText));
        result.exec();
    }
}

}  // namespace vigilo
