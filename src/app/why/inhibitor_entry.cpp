#include "app/why/inhibitor_entry.h"

#include <algorithm>
#include <array>
#include <utility>

#include "support/json_wire.h"
#include "support/utf8_text.h"

namespace vigilo {

namespace {

constexpr std::array<std::pair<InhibitorOrigin, const char*>, 4> kOrigins{{
    {InhibitorOrigin::logind, "logind"},
    {InhibitorOrigin::gnome, "gnome"},
    {InhibitorOrigin::kde, "kde"},
    {InhibitorOrigin::vigilo, "vigilo"},
}};

}  // namespace

bool InhibitorEntry::blocks(const std::string& kind) const {
    return std::find(what.begin(), what.end(), kind) != what.end();
}

std::string originName(InhibitorOrigin origin) {
    for (const auto& [o, name] : kOrigins) {
        if (o == origin) return name;
    }
    return "logind";
}

std::string originLabel(InhibitorOrigin origin) {
    switch (origin) {
    case InhibitorOrigin::logind: return "logind";
    case InhibitorOrigin::gnome: return "GNOME";
    case InhibitorOrigin::kde: return "KDE";
    case InhibitorOrigin::vigilo: return "Vigilo";
    }
    return "logind";
}

std::optional<InhibitorOrigin> originNamed(const std::string& name) {
    for (const auto& [o, n] : kOrigins) {
        if (name == n) return o;
    }
    return std::nullopt;
}

nlohmann::ordered_json inhibitorsToJson(const std::vector<InhibitorEntry>& entries) {
    auto array = nlohmann::ordered_json::array();
    for (const auto& entry : entries) {
        nlohmann::ordered_json object;
        object["what"] = entry.what;
        object["who"] = entry.who;
        object["why"] = entry.why;
        object["mode"] = entry.mode;
        object["source"] = originName(entry.origin);
        object["uid"] = entry.uid;
        object["pid"] = entry.pid ? nlohmann::ordered_json(*entry.pid) : nlohmann::ordered_json(nullptr);
        object["command"] = entry.command ? nlohmann::ordered_json(*entry.command) : nlohmann::ordered_json(nullptr);
        array.push_back(std::move(object));
    }
    return array;
}

std::vector<InhibitorEntry> boundedInhibitors(std::vector<InhibitorEntry> entries) {
    auto cut = [](std::string& text) {
        if (text.size() <= kMaxInhibitorTextBytes) return;
        text.resize(kMaxInhibitorTextBytes);
        text.resize(kMaxInhibitorTextBytes - incompleteUtf8Suffix(text));
    };
    std::size_t used = 0;
    for (auto& entry : entries) {
        cut(entry.who);
        cut(entry.why);
        if (entry.command) cut(*entry.command);
        if (entry.what.size() > 8) entry.what.resize(8);
        for (auto& kind : entry.what) cut(kind);
        if (entry.origin == InhibitorOrigin::vigilo) used += toWireJson(inhibitorsToJson({entry})).size();
    }
    std::vector<InhibitorEntry> kept;
    for (auto& entry : entries) {
        if (entry.origin != InhibitorOrigin::vigilo) {
            const std::size_t size = toWireJson(inhibitorsToJson({entry})).size();
            if (used + size > kMaxInhibitorsBytes) continue;
            used += size;
        }
        kept.push_back(std::move(entry));
    }
    return kept;
}

std::vector<InhibitorEntry> inhibitorsFromJson(const nlohmann::json& array) {
    if (!array.is_array()) throw JsonTypeError("key 'inhibitors' must be an array of objects");
    std::vector<InhibitorEntry> entries;
    for (const auto& object : array) {
        if (!object.is_object()) throw JsonTypeError("key 'inhibitors' must be an array of objects");
        InhibitorEntry entry;
        entry.what = optionalStringArray(object, "what").value_or(std::vector<std::string>{});
        entry.who = optionalString(object, "who").value_or("");
        entry.why = optionalString(object, "why").value_or("");
        entry.mode = optionalString(object, "mode").value_or("block");
        entry.origin =
            originNamed(optionalString(object, "source").value_or("logind")).value_or(InhibitorOrigin::logind);
        entry.uid = static_cast<std::uint32_t>(std::clamp<std::int64_t>(optionalInt64(object, "uid").value_or(0), 0,
                                                                        UINT32_MAX));
        entry.pid = optionalInt64(object, "pid");
        entry.command = optionalString(object, "command");
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace vigilo
