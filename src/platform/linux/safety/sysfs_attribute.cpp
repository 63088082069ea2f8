#include "platform/linux/safety/sysfs_attribute.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <system_error>

namespace vigilo {

namespace {

// Attributes are one short value; anything longer is not one of ours.
constexpr std::size_t kMaxAttributeSize = 4096;

std::string_view trimmed(std::string_view text) {
    const auto* space = " \t\r\n";
    auto first = text.find_first_not_of(space);
    if (first == std::string_view::npos) return {};
    auto last = text.find_last_not_of(space);
    return text.substr(first, last - first + 1);
}

}  // namespace

std::optional<std::string> readAttribute(const std::filesystem::path& file) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    std::string buffer(kMaxAttributeSize + 1, '\0');
    std::size_t used = 0;
    while (used < buffer.size()) {
        auto n = ::read(fd, buffer.data() + used, buffer.size() - used);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (used > kMaxAttributeSize) return std::nullopt;
    std::string_view text(buffer.data(), used);
    if (text.find('\0') != std::string_view::npos) return std::nullopt;
    text = text.substr(0, text.find('\n'));
    return std::string(trimmed(text));
}

std::optional<std::int64_t> parseInteger(std::string_view text) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') return std::nullopt;
    }
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::int64_t> readIntegerAttribute(const std::filesystem::path& file) {
    auto text = readAttribute(file);
    if (!text) return std::nullopt;
    return parseInteger(*text);
}

std::vector<std::filesystem::path> listFolder(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> entries;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        entries.push_back(it->path());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

}  // namespace vigilo
