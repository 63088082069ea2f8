#include "ui/qt/windows/onboarding_window.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/app_state.h"
#include "cli/cli_installer.h"
#include "platform/local_notifier.h"
#include "support/tr.h"
#include "ui/launch_at_login_manager.h"
#include "ui/qt/install_dialog.h"

namespace vigilo {

namespace {

QLabel* iconLabel(const std::string& name, int size) {
    auto* label = new QLabel;
    const QIcon icon = QIcon::fromTheme(qtext(name));
    if (!icon.isNull()) label->setPixmap(icon.pixmap(size, size));
    label->setAlignment(Qt::AlignTop);
    // The same room with or without an icon, so texts line up.
    label->setFixedWidth(size);
    return label;
}

QLabel* bold(const std::string& text, double scale = 1.0) {
    auto* label = paragraph(text);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * scale);
    label->setFont(font);
    return label;
}

// A point of a step: its icon, then its title over its text.
QWidget* point(const OnboardingPoint& p) {
    auto* holder = new QWidget;
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(iconLabel(p.icon, 24));
    auto* texts = new QVBoxLayout;
    if (!p.title.empty()) texts->addWidget(bold(p.title));
    texts->addWidget(paragraph(p.text));
    layout->addLayout(texts, 1);
    return holder;
}

}  // namespace

OnboardingWindow::OnboardingWindow(const TrayServices& services)
    : FormWindow(qtext(vigilo::tr("Welcome to Vigilo")), QSize(540, 460)), services_(services) {
    auto* header = new QHBoxLayout;
    header->addWidget(iconLabel("vigilo-moon-symbolic", 32));
    header->addWidget(bold("Vigilo", 1.3));
    header->addStretch(1);
    progressText_ = new QLabel;
    header->addWidget(progressText_);

    body_ = new QVBoxLayout;

    auto* skip = plainButton(vigilo::tr("Skip"));
    back_ = plainButton(vigilo::tr("Back"));
    // Not buttons that become the default when focused: the default is
    // the one that moves on, whatever has focus.
    next_ = plainButton(vigilo::tr("Next"));
    done_ = plainButton(vigilo::tr("Done"));
    auto* footer = new QHBoxLayout;
    footer->addWidget(skip);
    footer->addStretch(1);
    footer->addWidget(back_);
    footer->addWidget(next_);
    footer->addWidget(done_);
    QObject::connect(skip, &QPushButton::clicked, this, [this] { finish(); });
    QObject::connect(done_, &QPushButton::clicked, this, [this] { finish(); });
    QObject::connect(back_, &QPushButton::clicked, this, [this] {
        progress_.back();
        showStep();
    });
    QObject::connect(next_, &QPushButton::clicked, this, [this] {
        progress_.next();
        showStep();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addLayout(body_, 1);
    layout->addLayout(footer);

    // The last step shows the mode and the login item as they are now.
    auto redrawLastStep = [this](const auto&) {
        if (progress_.kind() == OnboardingStepKind::tryItNow) showStep();
    };
    keep(services_.state.mode.subscribe(redrawLastStep));
    keep(services_.settings.launchAtLogin.subscribe(redrawLastStep));
    showStep();
}

void OnboardingWindow::restart() {
    progress_.restart();
    showStep();
}

void OnboardingWindow::showStep() {
    clearLayout(body_);
    // A fresh page each time, shown at once rather than on the next turn
    // of the event loop.
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    const auto& step = onboardingSteps().at(progress_.index());
    auto* title = new QHBoxLayout;
    title->addWidget(iconLabel(step.icon, 40));
    title->addWidget(bold(step.title, 1.4), 1);
    layout->addLayout(title);
    layout->addWidget(paragraph(step.text));
    for (const auto& p : step.points) layout->addWidget(point(p));
    addActions(layout);
    layout->addStretch(1);
    body_->addWidget(page);
    page->show();

    progressText_->setText(qtext(progress_.progressText()));
    // Return moves on.
    (progress_.isLast() ? next_ : done_)->setDefault(false);
    (progress_.isLast() ? done_ : next_)->setDefault(true);
    back_->setVisible(progress_.showsBack());
    next_->setVisible(!progress_.isLast());
    done_->setVisible(progress_.isLast());
}

void OnboardingWindow::addActions(QVBoxLayout* layout) {
    switch (progress_.kind()) {
        case OnboardingStepKind::notifications: addNotificationTest(layout); break;
        case OnboardingStepKind::tryItNow: addTryItNow(layout); break;
        default: break;
    }
}

void OnboardingWindow::addNotificationTest(QVBoxLayout* layout) {
    if (!services_.notifier) return;
    auto* send = plainButton(vigilo::tr("Send a test notification"));
    send->setEnabled(!waitingForNotification_);
    QObject::connect(send, &QPushButton::clicked, this, [this] {
        waitingForNotification_ = true;
        showStep();
        services_.notifier->postAnswered(vigilo::tr("Vigilo"), vigilo::tr("Notifications work."),
                                         [this, alive = life_.weak()](bool delivered) {
                                             if (!alive.lock()) return;
                                             waitingForNotification_ = false;
                                             notificationAnswer_ = testNotificationAnswer(delivered);
                                             if (progress_.kind() == OnboardingStepKind::notifications) showStep();
                                         });
    });
    layout->addWidget(send, 0, Qt::AlignLeft);
    if (!notificationAnswer_.empty()) layout->addWidget(paragraph(notificationAnswer_));
}

void OnboardingWindow::addTryItNow(QVBoxLayout* layout) {
    if (services_.state.mode.get().is(KeepAwakeMode::Kind::autoWatch)) {
        layout->addWidget(bold(vigilo::tr("Auto Mode is ON \u2713")));
    } else {
        auto* turnOn = plainButton(vigilo::tr("Turn on Auto Mode"));
        QObject::connect(turnOn, &QPushButton::clicked, this, [this] {
            // Only offered while off, so this never turns it off.
            if (!services_.state.mode.get().is(KeepAwakeMode::Kind::autoWatch)) services_.state.toggleAutoWatch();
        });
        layout->addWidget(turnOn, 0, Qt::AlignLeft);
    }
    {
        auto& manager = services_.launchAtLogin;
        auto* atLogin = new QCheckBox(qtext(vigilo::tr("Also start Vigilo at login")));
        atLogin->setChecked(services_.settings.launchAtLogin.get());
        QObject::connect(atLogin, &QCheckBox::toggled, this, [this, &manager, atLogin = atLogin](bool wanted) {
            if (manager.choose(services_.settings.launchAtLogin, wanted)) return;
            // Refused: the box shows the setting, which did not change.
            const QSignalBlocker quiet(atLogin);
            atLogin->setChecked(!wanted);
        });
        layout->addWidget(atLogin);
    }
    {
        auto& installer = services_.cliInstaller;
        const auto part = onboardingCommandPart(vigiloOnOurPath(installer));
        layout->addWidget(bold(part.heading));
        layout->addWidget(paragraph(part.text));
        if (!part.offersInstall) return;
        auto* install = plainButton(vigilo::tr("Install vigilo CLI"));
        QObject::connect(install, &QPushButton::clicked, this, [this, &installer] {
            installMessage_ = installer.installForUser().message;
            showStep();
        });
        layout->addWidget(install, 0, Qt::AlignLeft);
        if (!installMessage_.empty()) layout->addWidget(paragraph(installMessage_));
    }
}

void OnboardingWindow::finish() {
    finishOnboarding(services_.settings);
    close();
}

}  // namespace vigilo
