#include "support/stale_temporaries.h"

#include <algorithm>
#include <string_view>

#include "support/atomic_file.h"

namespace vigilo {

namespace {

bool isTemporaryOf(std::string_view candidate, const std::string& name) {
    const std::string prefix = temporaryNamePrefix(name);
    if (candidate.size() != prefix.size() + kTemporaryRandomLength || !candidate.starts_with(prefix)) return false;
    const auto random = candidate.substr(prefix.size());
    return std::all_of(random.begin(), random.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

}  // namespace

std::vector<std::filesystem::path> removeStaleTemporaries(const std::filesystem::path& folder,
                                                          const std::vector<std::string>& names) {
    std::vector<std::filesystem::path> removed;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string file = it->path().filename().string();
        const bool matches =
            std::any_of(names.begin(), names.end(), [&](const std::string& name) { return isTemporaryOf(file, name); });
        std::error_code typeError;
        if (!matches || !it->is_regular_file(typeError) || it->is_symlink(typeError)) continue;
        std::error_code removeError;
        if (std::filesystem::remove(it->path(), removeError)) removed.push_back(it->path());
    }
    return removed;
}

}  // namespace vigilo
