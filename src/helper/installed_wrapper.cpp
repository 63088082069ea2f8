#include "helper/installed_wrapper.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_wrapper.h"

namespace vigilo {
namespace {

constexpr std::string_view kShellLine = "#!/bin/sh";
// Earlier versions: the whole body is this one line.
constexpr std::string_view kExecStart = "exec '";
constexpr std::string_view kExecEnd = "' --cli \"$@\"";
// This version: the body starts by naming the program, and the rest of it
// is what cliWrapperBody() writes for that program.
constexpr std::string_view kAppStart = "app='";
constexpr std::string_view kAppEnd = "'";
// How shellSingleQuoted() writes a single quote inside single quotes.
constexpr std::string_view kQuotedQuote = "'\"'\"'";

std::vector<std::string_view> linesOf(std::string_view text) {
    if (text.ends_with('\n')) text.remove_suffix(1);
    std::vector<std::string_view> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return lines;
        start = end + 1;
    }
}

// The program of "<start>'<program>'<end>", unquoted; nothing for a line of
// any other shape or a quote left bare inside.
std::optional<std::string> quotedProgram(std::string_view line, std::string_view start, std::string_view end) {
    if (line.size() < start.size() + end.size() || !line.starts_with(start) || !line.ends_with(end)) {
        return std::nullopt;
    }
    line = line.substr(start.size(), line.size() - start.size() - end.size());
    std::string program;
    while (!line.empty()) {
        if (line.starts_with(kQuotedQuote)) {
            program += '\'';
            line.remove_prefix(kQuotedQuote.size());
        } else if (line.front() == '\'') {
            return std::nullopt;
        } else {
            program += line.front();
            line.remove_prefix(1);
        }
    }
    return program;
}

bool isApplicationPath(const std::optional<std::string>& program) {
    return program && program->starts_with('/') && std::filesystem::path(*program).filename() == "vigilo-app";
}

bool namesVigilo(const std::vector<std::string_view>& comments) {
    for (auto line : comments) {
        if (line.find("Vigilo") != std::string_view::npos) return true;
    }
    return false;
}

// `firstLine` is the first line after the comments, a view into `script`;
// `lineCount` counts it and the lines after it.
bool isOurBody(std::string_view script, std::string_view firstLine, std::size_t lineCount) {
    if (lineCount == 1) return isApplicationPath(quotedProgram(firstLine, kExecStart, kExecEnd));
    const auto program = quotedProgram(firstLine, kAppStart, kAppEnd);
    if (!isApplicationPath(program)) return false;
    const std::string_view body = script.substr(static_cast<std::size_t>(firstLine.data() - script.data()));
    return body == cliWrapperBody(*program);
}

}  // namespace

bool isVigiloCliWrapper(std::string_view script) {
    const auto lines = linesOf(script);
    if (lines.size() < 3 || lines.front() != kShellLine) return false;
    std::size_t firstBodyLine = 1;
    while (firstBodyLine < lines.size() && lines[firstBodyLine].starts_with('#')) ++firstBodyLine;
    if (firstBodyLine == lines.size()) return false;
    const std::vector<std::string_view> comments(lines.begin() + 1, lines.begin() + firstBodyLine);
    return namesVigilo(comments) && isOurBody(script, lines[firstBodyLine], lines.size() - firstBodyLine);
}

}  // namespace vigilo
