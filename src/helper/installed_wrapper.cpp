#include "helper/installed_wrapper.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_wrapper.h"

namespace vigilo {
namespace {

constexpr std::string_view kShellLine = "#!/bin/sh";
constexpr std::string_view kExecStart = "exec '";
constexpr std::string_view kExecEnd = "' --cli \"$@\"";
// How cliWrapperScript() writes a single quote inside single quotes.
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

// The program of "exec '<program>' --cli "$@"", unquoted; nothing for any
// other line.
std::optional<std::string> execedProgram(std::string_view line) {
    if (!line.starts_with(kExecStart) || !line.ends_with(kExecEnd)) return std::nullopt;
    line = line.substr(kExecStart.size(), line.size() - kExecStart.size() - kExecEnd.size());
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

bool namesVigilo(const std::vector<std::string_view>& comments) {
    for (auto line : comments) {
        if (line.find("Vigilo") != std::string_view::npos) return true;
    }
    return false;
}

}  // namespace

bool isVigiloCliWrapper(std::string_view script) {
    const auto lines = linesOf(script);
    if (lines.size() < 3 || lines.front() != kShellLine) return false;
    const auto program = execedProgram(lines.back());
    if (!program || !program->starts_with('/') || std::filesystem::path(*program).filename() != "vigilo-app") {
        return false;
    }
    if (script == cliWrapperScript(*program)) return true;
    const std::vector<std::string_view> comments(lines.begin() + 1, lines.end() - 1);
    for (auto line : comments) {
        if (!line.starts_with('#')) return false;
    }
    return namesVigilo(comments);
}

}  // namespace vigilo
