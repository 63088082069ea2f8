#include "ui/qt/windows/command_window.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/app_settings.h"
#include "app/app_state.h"
#include "cli/command_runner.h"
#include "platform/child_process.h"
#include "support/tr.h"
#include "ui/command_view_model.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/window_frame.h"

namespace vigilo {

namespace {

// The status line's mark, as a glyph in the text's own font so it scales
// with it: a ring before any run, a green dot while running, a green tick
// or a red cross after.
void showMark(QLabel& mark, CommandStatus::Look look) {
    using Look = CommandStatus::Look;
    struct Style {
        const char* glyph;
        const char* colour;
    };
    const Style style = look == Look::running     ? Style{"\u25cf", "#2e9d4a"}
                        : look == Look::succeeded ? Style{"\u2714", "#2e9d4a"}
                        : look == Look::failed    ? Style{"\u2716", "#d03030"}
                                                  : Style{"\u25cb", ""};
    mark.setText(QString::fromUtf8(style.glyph));
    mark.setStyleSheet(*style.colour ? QStringLiteral("color: %1").arg(QLatin1String(style.colour)) : QString());
}

}  // namespace

CommandWindow::CommandWindow(AppState& state, CommandRunner& runner, AppSettings& settings, Loop& loop)
    : state_(state), runner_(runner), settings_(settings), loop_(loop) {
    frameWindow(*this, QString::fromStdString(vigilo::tr("Run & Watch a Command")), QSize(560, 440));

    field_ = new QLineEdit;
    field_->setPlaceholderText(
        qtext(vigilo::tr("e.g. python train.py  \u00b7  ollama run llama3  \u00b7  npm run build")));
    run_ = new QPushButton;
    auto* entry = new QHBoxLayout;
    entry->addWidget(field_, 1);
    entry->addWidget(run_);
    fieldError_ = new QLabel;
    fieldError_->setStyleSheet(QStringLiteral("color: #d03030"));
    fieldError_->hide();

    statusMark_ = new QLabel;
    statusText_ = new QLabel;
    statusText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* statusLine = new QHBoxLayout;
    statusLine->addWidget(statusMark_);
    statusLine->addWidget(statusText_, 1);

    output_ = new QPlainTextEdit;
    output_->setReadOnly(true);
    output_->setLineWrapMode(QPlainTextEdit::NoWrap);
    output_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    output_->setFocusPolicy(Qt::ClickFocus);

    notify_ = new QCheckBox(qtext(vigilo::tr("Notify me when a task finishes")));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(entry);
    layout->addWidget(fieldError_);
    layout->addLayout(statusLine);
    layout->addWidget(output_, 1);
    layout->addWidget(notify_);
    setTabOrder(field_, run_);
    setTabOrder(run_, notify_);

    QObject::connect(field_, &QLineEdit::returnPressed, this, [this] {
        if (!runner_.isRunning().get()) runOrStop();
    });
    QObject::connect(field_, &QLineEdit::textEdited, fieldError_, &QWidget::hide);
    QObject::connect(run_, &QPushButton::clicked, this, [this] { runOrStop(); });
    QObject::connect(notify_, &QCheckBox::toggled, this, [this](bool on) {
        if (settings_.notifyOnComplete.get() != on) settings_.notifyOnComplete.set(on);
    });

    auto changed = [this](const auto&) { scheduleRedraw(); };
    subscriptions_.push_back(runner_.isRunning().subscribe(changed));
    subscriptions_.push_back(runner_.startedAt().subscribe(changed));
    subscriptions_.push_back(runner_.finishedAt().subscribe(changed));
    subscriptions_.push_back(runner_.exitCode().subscribe(changed));
    subscriptions_.push_back(runner_.outputTail().subscribe(changed));
    subscriptions_.push_back(settings_.notifyOnComplete.subscribe(changed));
    redraw();
}

void CommandWindow::present() {
    redraw();
    presentWindow(*this);
    field_->setFocus();
}

// The runner publishes its fields one by one: the window draws once they
// all agree, on the next turn of the loop.
void CommandWindow::scheduleRedraw() {
    if (std::exchange(redrawPending_, true)) return;
    loop_.post([this, alive = life_.weak()] {
        if (!alive.lock()) return;
        redrawPending_ = false;
        if (isVisible()) redraw();
    });
}

void CommandWindow::redraw() {
    const CommandRun run = currentRun(runner_);
    const CommandStatus status = commandStatus(run, loop_.clock().wallNow());
    showMark(*statusMark_, status.look);
    statusText_->setText(qtext(status.text));
    run_->setText(qtext(run.running ? vigilo::tr("Stop") : vigilo::tr("Run")));
    field_->setReadOnly(run.running);
    notify_->setChecked(settings_.notifyOnComplete.get());
    showOutput();
    followElapsedTime();
}

// Keeps the newest lines in view unless the person scrolled up to read.
void CommandWindow::showOutput() {
    const QString tail = qtext(runner_.outputTail().get());
    if (output_->toPlainText() == tail) return;
    QScrollBar* bar = output_->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    const int kept = bar->value();
    output_->setPlainText(tail);
    bar->setValue(atEnd ? bar->maximum() : kept);
}

void CommandWindow::runOrStop() {
    if (runner_.isRunning().get()) {
        // The run ends through the runner like any other, with the
        // signal's status.
        if (ChildProcess* child = runner_.process()) child->terminate();
        return;
    }
    const std::string command = field_->text().toStdString();
    if (auto error = commandFieldError(command)) {
        fieldError_->setText(qtext(*error));
        fieldError_->show();
        return;
    }
    fieldError_->hide();
    state_.runCommand(command);
}

// The running time in the status line moves every second, only while a
// command runs and the window is shown.
void CommandWindow::followElapsedTime() {
    const bool wanted = isVisible() && runner_.isRunning().get();
    if (wanted && !tick_.active()) {
        tick_ = loop_.startRepeating(std::chrono::seconds(1), [this] { redraw(); });
    } else if (!wanted) {
        tick_.cancel();
    }
}

void CommandWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    redraw();
}

void CommandWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    tick_.cancel();
}

}  // namespace vigilo
