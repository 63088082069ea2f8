#include "support/json_wire.h"

#include <gtest/gtest.h>

namespace vigilo {
namespace {

using nlohmann::json;

TEST(JsonWire, EscapesSlashesOnlyInsideStringsAndReplacesBadUtf8) {
    EXPECT_EQ(toWireJson(json{{"a", "x/y"}}), R"({"a":"x\/y"})");
    EXPECT_EQ(json::parse(toWireJson(json{{"a", "x/y"}}))["a"], "x/y");
    EXPECT_EQ(toWireJson(json{{"a", std::string("\xff")}}), "{\"a\":\"\xef\xbf\xbd\"}");
}

TEST(JsonWire, StrictReadersTreatNullAsAbsentAndRejectOtherTypes) {
    auto object = json::parse(R"({"b":true,"n":null,"i":5,"f":2.5,"s":"x","a":["p"],"mixed":["p",1]})");
    EXPECT_EQ(optionalBool(object, "b"), true);
    EXPECT_EQ(optionalBool(object, "n"), std::nullopt);
    EXPECT_EQ(optionalBool(object, "missing"), std::nullopt);
    EXPECT_EQ(optionalInt64(object, "i"), 5);
    EXPECT_EQ(optionalString(object, "s"), "x");
    EXPECT_EQ(optionalStringArray(object, "a"), std::vector<std::string>{"p"});
    EXPECT_THROW(optionalBool(object, "i"), JsonTypeError);
    EXPECT_THROW(optionalInt64(object, "f"), JsonTypeError);
    EXPECT_THROW(optionalInt64(object, "s"), JsonTypeError);
    EXPECT_THROW(optionalString(object, "a"), JsonTypeError);
    EXPECT_THROW(optionalStringArray(object, "mixed"), JsonTypeError);
}

TEST(JsonWire, WholeNumbersAreRangeCheckedBeforeAnyConversion) {
    const struct {
        const char* value;
        std::optional<std::int64_t> read;  // nullopt: rejected
    } cases[] = {
        {"3.0", 3},
        {"-9223372036854775808.0", INT64_MIN},
        {"9223372036854775807", INT64_MAX},
        {"9223372036854775808", std::nullopt},
        {"9223372036854775808.0", std::nullopt},
        {"-9.3e18", std::nullopt},
        {"1e300", std::nullopt},
        {"-1e300", std::nullopt},
        {"1.5", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const auto object = json::parse(std::string(R"({"n":)") + c.value + "}");
        if (c.read) {
            EXPECT_EQ(optionalInt64(object, "n"), c.read);
        } else {
            EXPECT_THROW(optionalInt64(object, "n"), JsonTypeError);
        }
    }
}

}  // namespace
}  // namespace vigilo
