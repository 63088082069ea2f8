#include "alerts/web_address.h"

#include <gtest/gtest.h>

namespace vigilo {
namespace {

TEST(WebAddressTest, OnlyHttpAndHttpsAddressesWithAHostAreValid) {
    for (const char* good : {"https://ntfy.sh/alerts", "http://192.168.1.5:8080/hook", "HTTPS://Example.com",
                             "https://user@host/path?q=1"}) {
        EXPECT_TRUE(isValidHttpUrl(good)) << good;
    }
    for (const char* bad : {"", "ntfy.sh/alerts", "ftp://host/x", "https://", "https:///path", "https://host/a b",
                            "https://:80/x", "https://host/\n", "javascript:alert(1)"}) {
        EXPECT_FALSE(isValidHttpUrl(bad)) << bad;
    }
}

TEST(WebAddressTest, FormValuesKeepPlusAmpersandAndEqualsIntact) {
    EXPECT_EQ(percentEncodeComponent("a+b&c=d e~_.-"), "a%2Bb%26c%3Dd%20e~_.-");
    EXPECT_EQ(formEncode({{"token", "x/y"}, {"message", "\u00e9"}}), "token=x%2Fy&message=%C3%A9");
}

TEST(WebAddressTest, TitlesLoseDiacriticsThenEverythingNotAscii) {
    EXPECT_EQ(asciiWithoutDiacritics("Caf\u00e9 \u00c5ngstr\u00f6m \u0141\u00f3d\u017a"), "Cafe Angstrom odz");
    EXPECT_EQ(asciiWithoutDiacritics("Task finished \u2705"), "Task finished ");
    EXPECT_EQ(asciiWithoutDiacritics("e\u0301t\u00e9 \u2014 \u00c6ther"), "ete  ther");
    EXPECT_EQ(asciiWithoutDiacritics("bad \xFF\xC3 bytes"), "bad  bytes");
    EXPECT_EQ(asciiWithoutDiacritics("\U0001F389"), "");
}

}  // namespace
}  // namespace vigilo
