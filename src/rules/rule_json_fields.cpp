#include "rules/rule_json_fields.h"

#include <cmath>
#include <limits>
#include <string_view>

#include <fmt/format.h>

#include "support/json_wire.h"

namespace vigilo {

using nlohmann::json;

namespace {

constexpr const char* kInvalidCaseKeys = "Invalid number of keys found, expected one.";

// The JSON readers of support throw their own error type; the rules file
// reports every fault as RuleDecodeError.
template <class Read>
auto translated(Read read) {
    try {
        return read();
    } catch (const JsonTypeError& error) {
        throw RuleDecodeError(error.what());
    }
}

const json& requiredValue(const json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) throw RuleDecodeError(fmt::format("key '{}' is missing", key));
    return *it;
}

}  // namespace

bool requiredBool(const json& object, const char* key) {
    return translated([&] { return requiredValue(optionalBool(object, key), key); });
}

std::int64_t requiredInt64(const json& object, const char* key) {
    return translated([&] { return requiredValue(optionalInt64(object, key), key); });
}

std::string requiredString(const json& object, const char* key) {
    return translated([&] { return requiredValue(optionalString(object, key), key); });
}

double requiredNumber(const json& object, const char* key) {
    const json& value = requiredValue(object, key);
    if (!value.is_number()) {
        throw RuleDecodeError(fmt::format("key '{}': expected a number, found {}", key, jsonTypeName(value)));
    }
    return value.get<double>();
}

const json& requiredArray(const json& object, const char* key) {
    const json& value = requiredValue(object, key);
    if (!value.is_array()) {
        throw RuleDecodeError(fmt::format("key '{}': expected an array, found {}", key, jsonTypeName(value)));
    }
    return value;
}

std::size_t readCaseObject(const json& object, std::span<const char* const> caseNames, const json*& fields) {
    if (!object.is_object()) throw RuleDecodeError(fmt::format("expected an object, found {}", jsonTypeName(object)));
    std::size_t found = caseNames.size();
    int count = 0;
    for (std::size_t i = 0; i < caseNames.size(); ++i) {
        if (object.contains(caseNames[i])) {
            found = i;
            ++count;
        }
    }
    if (count != 1) throw RuleDecodeError(kInvalidCaseKeys);
    const json& value = object.at(caseNames[found]);
    if (!value.is_object()) {
        throw RuleDecodeError(
            fmt::format("key '{}': expected an object, found {}", caseNames[found], jsonTypeName(value)));
    }
    fields = &value;
    return found;
}

nlohmann::ordered_json jsonNumber(double value) {
    constexpr double kExactIntegers = 9007199254740992.0;  // 2^53
    if (std::trunc(value) == value && std::fabs(value) <= kExactIntegers) {
        return static_cast<std::int64_t>(value);
    }
    // JSON has no infinity; the largest finite number compares the same way
    // against any reading.
    if (std::isinf(value)) return std::copysign(std::numeric_limits<double>::max(), value);
    return value;
}

}  // namespace vigilo
