#include "cli/command_runner.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <utility>

#include "support/tr.h"
#include "support/utf8_text.h"

namespace vigilo {

namespace {

constexpr std::size_t kReadSize = 64 * 1024;
// Reads per wake-up, so endless output never starves the rest of the loop.
constexpr std::size_t kReadsPerWakeUp = 4;
// Output still in the pipe when the child exits is taken up to this much.
constexpr std::size_t kReadsAtExit = 16;

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Keeps the newest `limit` bytes of `line`, starting at a character boundary.
void keepNewestBytes(std::string& line, std::size_t limit) {
    if (line.size() <= limit) return;
    std::size_t cut = line.size() - limit;
    while (cut < line.size() && isContinuation(static_cast<unsigned char>(line[cut]))) ++cut;
    line.erase(0, cut);
}

std::string fillFormat(const char* format, std::string_view value) {
    std::string text = format;
    if (auto at = text.find("%@"); at != std::string::npos) text.replace(at, 2, value);
    return text;
}

}  // namespace

CommandRunner::CommandRunner(Loop& loop, ChildProcessLauncher& launcher) : loop_(loop), launcher_(launcher) {}

CommandRunner::~CommandRunner() {
    outputWatch_.cancel();
    exitWatch_.cancel();
}

void CommandRunner::run(std::string_view text) {
    const std::string_view commandText = trimmedWhitespace(text);
    if (commandText.empty() || isRunning_.get()) return;

    command_.set(std::string(commandText));
    startedAt_.set(loop_.clock().wallNow());
    finishedAt_.set(std::nullopt);
    exitCode_.set(std::nullopt);
    lines_.clear();
    endsWithNewlineMarker_ = true;
    incompleteUtf8_.clear();
    outputTail_.set("");

    auto started = launcher_.start(command_.get());
    if (auto* error = std::get_if<std::string>(&started)) {
        log_.error("Failed to start command: {}", *error);
        append(fillFormat(tr("Failed to start: %@"), *error));
        isRunning_.set(false);
        finishedAt_.set(loop_.clock().wallNow());
        exitCode_.set(-1);
        return;
    }
    process_ = std::move(std::get<std::unique_ptr<ChildProcess>>(started));
    outputWatch_ = loop_.watchReadable(process_->outputFd(), [this] { readOutput(kReadsPerWakeUp); });
    exitWatch_ = loop_.watchReadable(process_->exitFd(), [this] { childExited(); });
    isRunning_.set(true);
    log_.info("Started command: {}", command_.get());
}

void CommandRunner::readOutput(std::size_t maxReads) {
    if (!process_ || !outputWatch_.active()) return;
    std::array<char, kReadSize> buffer;
    for (std::size_t i = 0; i < maxReads; ++i) {
        const ssize_t n = ::read(process_->outputFd(), buffer.data(), buffer.size());
        if (n > 0) {
            takeChunk(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return;
        // End of stream (or a broken pipe): a hung-up pipe stays readable,
        // so stop watching it.
        outputWatch_.cancel();
        return;
    }
}

void CommandRunner::takeChunk(std::string_view bytes) {
    std::string chunk = std::exchange(incompleteUtf8_, {});
    chunk += bytes;
    const std::size_t held = incompleteUtf8Suffix(chunk);
    incompleteUtf8_ = chunk.substr(chunk.size() - held);
    chunk.resize(chunk.size() - held);
    // A chunk that is not text is dropped whole.
    if (!chunk.empty() && isValidUtf8(chunk)) append(chunk);
}

void CommandRunner::append(std::string_view text) {
    if (text.empty()) return;
    bool first = true;
    std::size_t start = 0;
    for (;;) {
        const std::size_t newline = text.find('\n', start);
        const std::string_view piece = text.substr(start, newline == std::string_view::npos ? text.npos
                                                                                             : newline - start);
        const bool last = newline == std::string_view::npos;
        if (!(last && piece.empty() && !first)) {
            if (first && !lines_.empty() && !endsWithNewlineMarker_) lines_.back() += piece;
            else lines_.emplace_back(piece);
            keepNewestBytes(lines_.back(), maxLineBytes);
        }
        if (last) break;
        first = false;
        start = newline + 1;
    }
    endsWithNewlineMarker_ = !text.empty() && text.back() == '\n';
    while (lines_.size() > maxLines) lines_.pop_front();

    std::string tail;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i > 0) tail += '\n';
        tail += lines_[i];
    }
    outputTail_.set(std::move(tail));
}

void CommandRunner::childExited() {
    if (!process_) return;
    const auto status = process_->takeExitStatus();
    if (!status) return;
    // Everything the child wrote before it exited is in the pipe by now.
    readOutput(kReadsAtExit);
    finished(*status);
}

void CommandRunner::finished(int code) {
    outputWatch_.cancel();
    exitWatch_.cancel();
    const WallTime now = loop_.clock().wallNow();
    isRunning_.set(false);
    exitCode_.set(code);
    finishedAt_.set(now);
    const auto start = startedAt_.get();
    const double seconds = start ? std::chrono::duration<double>(now - *start).count() : 0.0;
    log_.info("Command finished, exit={}", code);
    process_.reset();
    if (onFinish) onFinish(code, seconds);
}

}  // namespace vigilo
