#include "app/preferences_file.h"

#include <fmt/format.h>

#include <string_view>
#include <system_error>
#include <vector>

#include "support/utf8_text.h"
#include "support/atomic_file.h"

namespace vigilo {

using nlohmann::json;

namespace {

// Nesting beyond this is garbage for a flat preferences object, and would
// make writing the values back recurse without bound.
constexpr int kMaxDepth = 32;

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool containsReplacement(const json& value) {
    if (value.is_string()) return value.get_ref<const std::string&>().find(kReplacement) != std::string::npos;
    if (value.is_array()) {
        for (const auto& element : value) {
            if (containsReplacement(element)) return true;
        }
    }
    if (value.is_object()) {
        for (const auto& [key, element] : value.items()) {
            if (key.find(kReplacement) != std::string::npos || containsReplacement(element)) return true;
        }
    }
    return false;
}

PreferencesContents unusable(std::string problem) {
    PreferencesContents contents;
    contents.keepOriginal = true;
    contents.problem = std::move(problem);
    return contents;
}

}  // namespace

PreferencesContents readPreferencesFile(const std::filesystem::path& file) {
    std::error_code ec;
    const auto status = std::filesystem::status(file, ec);
    if (status.type() == std::filesystem::file_type::not_found) return {};
    // A FIFO or a device would block or never end.
    if (ec || status.type() != std::filesystem::file_type::regular) return unusable("not a regular file");
    const auto size = std::filesystem::file_size(file, ec);
    if (ec) return unusable(ec.message());
    if (size > kMaxPreferencesFileSize) return unusable(fmt::format("{} bytes is too big", size));
    const auto raw = readWholeFile(file);
    if (!raw) return unusable("cannot be read");
    return parsePreferencesText(*raw);
}

PreferencesContents parsePreferencesText(std::string_view raw) {
    const std::string text = decodeUtf8Lossy(raw);
    const bool replaced = text != raw;
    bool tooDeep = false;
    json parsed = json::parse(
        text,
        [&](int depth, json::parse_event_t event, json&) {
            const bool opens = event == json::parse_event_t::object_start || event == json::parse_event_t::array_start;
            if (opens && depth >= kMaxDepth) tooDeep = true;
            return !tooDeep;
        },
        /*allow_exceptions=*/false);
    if (tooDeep) return unusable("nested too deeply");
    if (parsed.is_discarded()) return unusable("not valid JSON");
    if (!parsed.is_object()) return unusable("not a JSON object");

    PreferencesContents contents;
    if (replaced) {
        contents.keepOriginal = true;
        contents.problem = "holds bytes that are not UTF-8";
        // Those values read as their defaults, as any other unusable value.
        std::vector<std::string> tainted;
        for (const auto& [key, value] : parsed.items()) {
            if (key.find(kReplacement) != std::string::npos || containsReplacement(value)) tainted.push_back(key);
        }
        for (const auto& key : tainted) parsed.erase(key);
    }
    contents.values = std::move(parsed);
    return contents;
}

std::optional<std::string> keepBadPreferencesCopy(const std::filesystem::path& file) {
    auto bad = file;
    bad += kBadPreferencesSuffix;
    std::error_code ec;
    std::filesystem::remove(bad, ec);
    std::filesystem::create_hard_link(file, bad, ec);
    if (!ec) return std::nullopt;
    std::filesystem::copy_file(file, bad, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) return fmt::format("cannot keep {}: {}", bad.string(), ec.message());
    std::filesystem::permissions(bad, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, ec);
    return std::nullopt;
}

}  // namespace vigilo
