#include "support/json_wire.h"

#include <fmt/format.h>

namespace vigilo {

using nlohmann::json;

namespace {

// "/" can only occur inside strings in JSON text, so escaping every one of
// them is exact.
std::string escapeSlashes(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '/') out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

std::string toWireJson(const json& value) { return escapeSlashes(value.dump(-1, ' ', false, json::error_handler_t::replace)); }

std::string toWireJson(const nlohmann::ordered_json& value) {
    return escapeSlashes(value.dump(-1, ' ', false, json::error_handler_t::replace));
}

std::string jsonTypeName(const json& value) {
    if (value.is_number()) return "number";
    return value.type_name();
}

namespace {

const json* lookup(const json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) return nullptr;
    return &*it;
}

[[noreturn]] void typeMismatch(const char* key, const char* expected, const json& found) {
    throw JsonTypeError(fmt::format("key '{}': expected {}, found {}", key, expected, jsonTypeName(found)));
}

}  // namespace

std::optional<bool> optionalBool(const json& object, const char* key) {
    const json* v = lookup(object, key);
    if (!v) return std::nullopt;
    if (!v->is_boolean()) typeMismatch(key, "a boolean", *v);
    return v->get<bool>();
}

std::optional<std::int64_t> optionalInt64(const json& object, const char* key) {
    const json* v = lookup(object, key);
    if (!v) return std::nullopt;
    if (v->is_number_integer()) {
        if (v->is_number_unsigned() && v->get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) {
            throw JsonTypeError(fmt::format("key '{}': integer out of range", key));
        }
        return v->get<std::int64_t>();
    }
    if (v->is_number_float()) {
        // 3.0 is a whole number; 1.5 is not, and neither is anything out of
        // range. The range comes first: casting a double beyond it is undefined.
        const double d = v->get<double>();
        if (d >= -9.2233720368547758e18 && d < 9.2233720368547758e18 &&
            d == static_cast<double>(static_cast<std::int64_t>(d))) {
            return static_cast<std::int64_t>(d);
        }
        throw JsonTypeError(fmt::format("key '{}': expected a whole number, found {}", key, v->dump()));
    }
    typeMismatch(key, "an integer", *v);
}

std::optional<std::string> optionalString(const json& object, const char* key) {
    const json* v = lookup(object, key);
    if (!v) return std::nullopt;
    if (!v->is_string()) typeMismatch(key, "a string", *v);
    return v->get<std::string>();
}

std::optional<double> optionalDouble(const json& object, const char* key) {
    const json* v = lookup(object, key);
    if (!v) return std::nullopt;
    if (!v->is_number()) typeMismatch(key, "a number", *v);
    return v->get<double>();
}

std::optional<std::vector<std::string>> optionalStringArray(const json& object, const char* key) {
    const json* v = lookup(object, key);
    if (!v) return std::nullopt;
    if (!v->is_array()) typeMismatch(key, "an array of strings", *v);
    std::vector<std::string> out;
    out.reserve(v->size());
    for (const auto& element : *v) {
        if (!element.is_string()) typeMismatch(key, "an array of strings", element);
        out.push_back(element.get<std::string>());
    }
    return out;
}

}  // namespace vigilo
