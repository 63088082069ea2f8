#include "cli/status_text.h"

#include <fmt/format.h>

#include "support/utf8_text.h"

namespace vigilo {

namespace {

std::string joined(const std::vector<std::string>& words, const char* separator) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) text += separator;
        text += words[i];
    }
    return text;
}

std::string_view basename(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The command line after its first word when that word is the program the
// name already says ("/usr/bin/python3" under "python3"). Command lines are
// joined with single spaces, so the first space ends the program.
std::string_view withoutNamedProgram(std::string_view name, std::string_view commandLine) {
    const auto space = commandLine.find(' ');
    const std::string_view program = commandLine.substr(0, space);
    if (lowerCased(basename(program)) != lowerCased(name)) return commandLine;
    return space == std::string_view::npos ? std::string_view{} : commandLine.substr(space + 1);
}

std::string activityText(const TaskDetail& task) {
    if (task.busy) return "busy";
    return fmt::format("idle {} s", task.idleSeconds);
}

std::string taskLine(const TaskDetail& task) {
    std::string line = fmt::format("  {} (pid {})", decodeUtf8Lossy(task.name), task.pid);
    if (auto command = shownCommand(task.name, task.command); !command.empty()) line += ' ' + command;
    return line + " \u2014 " + activityText(task);
}

// "claude (CPU 42%, GPU 80%)", leaving out what was not measured.
std::string taskLoad(const TaskDetail& task) {
    std::vector<std::string> figures;
    if (task.cpuPercent) figures.push_back(fmt::format("CPU {:.0f}%", *task.cpuPercent));
    if (task.gpuPercent) figures.push_back(fmt::format("GPU {:.0f}%", *task.gpuPercent));
    const std::string name = decodeUtf8Lossy(task.name);
    return figures.empty() ? name : fmt::format("{} ({})", name, joined(figures, ", "));
}

std::string loadLine(const std::vector<TaskDetail>& tasks) {
    std::vector<std::string> loads;
    for (const auto& task : tasks) loads.push_back(taskLoad(task));
    return "Load:       " + joined(loads, ", ") + '\n';
}

}  // namespace

std::string shownCommand(const std::string& name, const std::string& commandLine) {
    const std::string text = decodeUtf8Lossy(withoutNamedProgram(name, commandLine));
    std::string shown;
    std::size_t characters = 0;
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Char c = decodeUtf8At(text, at);
        if (characters + 1 == kMaxShownCommandCharacters && at + c.length < text.size()) {
            shown += "\u2026";
            break;
        }
        const bool control = c.codePoint < 0x20 || c.codePoint == 0x7f;
        shown += control ? std::string(" ") : text.substr(at, c.length);
        ++characters;
        at += c.length;
    }
    return std::string(trimmedWhitespace(shown));
}

std::string statusText(const IPCResponse& reply) {
    std::string text;
    text += fmt::format("Mode:       {}\n", reply.mode.value_or("?"));
    text += fmt::format("Assertion:  {}\n", reply.assertionActive.value_or(false) ? "active" : "inactive");
    if (reply.keptAwakeByRule) text += fmt::format("Kept awake by rule: {}\n", decodeUtf8Lossy(*reply.keptAwakeByRule));
    text += fmt::format("Clamshell:  {}\n", reply.clamshellActive.value_or(false) ? "on" : "off");
    if (reply.batteryPercent) {
        text += fmt::format("Battery:    {}%{}\n", *reply.batteryPercent,
                            reply.isCharging.value_or(false) ? " (charging)" : "");
    }
    if (reply.thermal) text += fmt::format("Thermal:    {}\n", *reply.thermal);
    if (reply.tasks && !reply.tasks->empty()) {
        if (reply.taskDetails && !reply.taskDetails->empty()) text += loadLine(*reply.taskDetails);
        text += "Tasks:      " + joined(*reply.tasks, ", ") + '\n';
        for (const auto& task : reply.taskDetails.value_or(std::vector<TaskDetail>{})) text += taskLine(task) + '\n';
    }
    return text;
}

}  // namespace vigilo
