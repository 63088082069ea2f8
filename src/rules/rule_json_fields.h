#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace vigilo {

// Why a rules text could not be read; what() names the offending place.
class RuleDecodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Strict readers of one required key of a JSON object, for the rules file.
// A missing key, null or a value of another type throws RuleDecodeError.
bool requiredBool(const nlohmann::json& object, const char* key);
std::int64_t requiredInt64(const nlohmann::json& object, const char* key);
double requiredNumber(const nlohmann::json& object, const char* key);
std::string requiredString(const nlohmann::json& object, const char* key);
const nlohmann::json& requiredArray(const nlohmann::json& object, const char* key);

// Reads a case object such as {"batteryBelow":{"percent":10}}: exactly one
// of its keys must be one of `caseNames` (others are ignored), and its value
// must be an object. Returns the case's index in `caseNames` and sets
// `fields` to that value.
std::size_t readCaseObject(const nlohmann::json& object, std::span<const char* const> caseNames,
                           const nlohmann::json*& fields);

// A double as JSON: a whole number that a double holds exactly is written
// without a fraction (90, not 90.0), as the file's other writers do.
nlohmann::ordered_json jsonNumber(double value);

}  // namespace vigilo
