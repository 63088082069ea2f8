#include "support/rejected_file.h"

#include <fmt/format.h>

#include <system_error>

namespace vigilo {

std::optional<std::string> keepRejectedCopy(const std::filesystem::path& file) {
    auto bad = file;
    bad += kRejectedFileSuffix;
    std::error_code ec;
    std::filesystem::remove(bad, ec);
    std::filesystem::create_hard_link(file, bad, ec);
    if (!ec) return std::nullopt;
    // copy_file refuses anything but a regular file, so it cannot block on a
    // FIFO either.
    std::filesystem::copy_file(file, bad, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) return fmt::format("cannot keep {}: {}", bad.string(), ec.message());
    std::filesystem::permissions(bad, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, ec);
    return std::nullopt;
}

}  // namespace vigilo
