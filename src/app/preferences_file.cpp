#include "app/preferences_file.h"

#include <string_view>
#include <vector>

#include "support/bounded_file.h"
#include "support/utf8_text.h"

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

PreferencesContents readPreferencesFile(const std::filesystem::path& path) {
    const auto file = readBoundedFile(path, kMaxPreferencesFileSize);
    if (file.status == BoundedFile::Status::missing) return {};
    if (file.status == BoundedFile::Status::rejected) return unusable(file.problem);
    return parsePreferencesText(file.contents);
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

}  // namespace vigilo
