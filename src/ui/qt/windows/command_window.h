#pragma once

#include <QWidget>
#include <vector>

#include "support/handle.h"
#include "support/loop.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vigilo {

class AppSettings;
class AppState;
class CommandRunner;

// Runs one shell command through the application state's run-command mode:
// a command field, Run (Return) and Stop, the status line with the exit
// status, the output's last lines live, and the switch for being notified
// when a task finishes. Main thread only.
class CommandWindow final : public QWidget {
public:
    CommandWindow(AppState& state, CommandRunner& runner, AppSettings& settings, Loop& loop);

    void present();
    void redraw();

    // For tests and screenshots.
    QLineEdit& field() const { return *field_; }
    QPushButton& runButton() const { return *run_; }
    QLabel& status() const { return *statusText_; }
    QLabel& fieldError() const { return *fieldError_; }
    QPlainTextEdit& output() const { return *output_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void scheduleRedraw();
    void runOrStop();
    void showOutput();
    void followElapsedTime();

    AppState& state_;
    CommandRunner& runner_;
    AppSettings& settings_;
    Loop& loop_;
    QLineEdit* field_;
    QPushButton* run_;
    QLabel* fieldError_;
    QLabel* statusMark_;
    QLabel* statusText_;
    QPlainTextEdit* output_;
    QCheckBox* notify_;
    std::vector<Handle> subscriptions_;
    Handle tick_;
    bool redrawPending_ = false;
    LifeToken life_;
};

}  // namespace vigilo
