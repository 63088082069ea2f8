#include "app/preferences_file.h"

#include <fmt/format.h>

#include <system_error>
#include <vector>

#include "support/atomic_file.h"

namespace vigilo {

using nlohmann::json;

namespace {

// Nesting beyond this is garbage for a flat preferences object, and would
// make writing the values back recurse without bound.
constexpr int kMaxDepth = 32;

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0.
std::size_t validSequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const auto continuation = [&](std::size_t i, unsigned char low = 0x80, unsigned char high = 0xBF) {
        return i < text.size() && byte(i) >= low && byte(i) <= high;
    };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return continuation(1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        const unsigned char high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
        return continuation(1, low, high) && continuation(2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
        return continuation(1, low, high) && continuation(2) && continuation(3) ? 4 : 0;
    }
    return 0;
}

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

std::string replaceInvalidUtf8(std::string_view text, bool& replaced) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = validSequenceLength(text);
        if (length == 0) {
            out += kReplacement;
            replaced = true;
            text.remove_prefix(1);
        } else {
            out += text.substr(0, length);
            text.remove_prefix(length);
        }
    }
    return out;
}

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

    bool replaced = false;
    const std::string text = replaceInvalidUtf8(*raw, replaced);
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
