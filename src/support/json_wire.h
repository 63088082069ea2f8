#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace vigilo {

// Compact JSON with every "/" written as "\/", as the socket peers expect.
// Invalid UTF-8 in strings is replaced rather than thrown on.
std::string toWireJson(const nlohmann::json& value);
std::string toWireJson(const nlohmann::ordered_json& value);  // keeps key order

// Thrown by the strict readers below; what() describes the offending key.
class JsonTypeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Strict readers of one key of a JSON object. A missing key and null are
// both absent; a value of another type throws JsonTypeError. Integers must
// be whole numbers within the signed 64-bit range.
std::optional<bool> optionalBool(const nlohmann::json& object, const char* key);
std::optional<std::int64_t> optionalInt64(const nlohmann::json& object, const char* key);
std::optional<std::string> optionalString(const nlohmann::json& object, const char* key);
// Any JSON number, as a double.
std::optional<double> optionalDouble(const nlohmann::json& object, const char* key);
std::optional<std::vector<std::string>> optionalStringArray(const nlohmann::json& object, const char* key);

// The value one of the readers above found under `key`; throws
// JsonTypeError when it found none.
template <class T>
T requiredValue(std::optional<T> value, const char* key) {
    if (!value) throw JsonTypeError(std::string("key '") + key + "' is missing");
    return std::move(*value);
}

// The JSON type name used in error descriptions ("string", "number", ...).
std::string jsonTypeName(const nlohmann::json& value);

}  // namespace vigilo
