#include "ui/command_view_model.h"

#include "app/app_state.h"
#include "cli/command_runner.h"
#include "support/utf8_text.h"
#include "support/tr.h"

namespace vigilo {

namespace {

double secondsBetween(WallTime from, WallTime to) { return std::chrono::duration<double>(to - from).count(); }

}  // namespace

CommandRun currentRun(CommandRunner& runner) {
    return {runner.isRunning().get(), runner.command().get(), runner.startedAt().get(), runner.finishedAt().get(),
            runner.exitCode().get()};
}

CommandStatus commandStatus(const CommandRun& run, WallTime now) {
    using Look = CommandStatus::Look;
    if (run.running) {
        const double elapsed = run.startedAt ? secondsBetween(*run.startedAt, now) : 0.0;
        return {Look::running, trFormat("Running {} \u2014 {}", run.command, AppState::format(elapsed))};
    }
    if (!run.exitCode) return {Look::idle, tr("Idle")};
    const double took = run.startedAt && run.finishedAt ? secondsBetween(*run.startedAt, *run.finishedAt) : 0.0;
    return {*run.exitCode == 0 ? Look::succeeded : Look::failed,
            trFormat("Finished (exit {}) in {}", *run.exitCode, AppState::format(took))};
}

std::optional<std::string> commandFieldError(std::string_view text) {
    if (trimmedWhitespace(text).empty()) return tr("Type a command to run.");
    return std::nullopt;
}

}  // namespace vigilo
