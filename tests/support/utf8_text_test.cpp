#include "support/utf8_text.h"

#include <gtest/gtest.h>

#include <locale>

#include "detection/display_name_collator.h"

namespace vigilo {
namespace {

TEST(Utf8Text, ValidTextPassesThroughAndIllFormedBytesBecomeReplacements) {
    EXPECT_EQ(decodeUtf8Lossy("claude"), "claude");
    EXPECT_EQ(decodeUtf8Lossy("caf\xC3\xA9 \xF0\x9F \x96"), "caf\xC3\xA9 \xEF\xBF\xBD \xEF\xBF\xBD");
    EXPECT_EQ(decodeUtf8Lossy("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
    // A truncated sequence is one replacement, then decoding goes on.
    EXPECT_EQ(decodeUtf8Lossy("\xE2\x82" "x"), "\xEF\xBF\xBD" "x");
    // Overlong forms and surrogates are ill-formed.
    EXPECT_EQ(decodeUtf8Lossy("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(decodeUtf8Lossy("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(decodeUtf8Lossy("\xF4\x90\x80\x80"),
              "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(decodeUtf8Lossy(std::string_view("\0a", 2)), std::string("\0a", 2));
    EXPECT_EQ(decodeUtf8Lossy("\xF0\x9F\xA4\x96"), "\xF0\x9F\xA4\x96");
}

TEST(Utf8Text, LowerCasesCommonScriptsAndLeavesTheRest) {
    EXPECT_EQ(lowerCased("Claude-CODE 3"), "claude-code 3");
    EXPECT_EQ(lowerCased("\xC3\x89T\xC3\x89 \xC3\x97"), "\xC3\xA9t\xC3\xA9 \xC3\x97");  // ÉTÉ ×
    EXPECT_EQ(lowerCased("\xD0\x9F\xD0\x81"), "\xD0\xBF\xD1\x91");                     // ПЁ
    EXPECT_EQ(lowerCased("A\xFF"), "a\xFF");
}

TEST(Utf8Text, TrimsUnicodeWhitespaceButKeepsInvalidBytes) {
    EXPECT_EQ(trimmedWhitespace(" \t\xC2\xA0make test\xE3\x80\x80\n"), "make test");
    EXPECT_EQ(trimmedWhitespace(" \n\t "), "");
    EXPECT_EQ(trimmedWhitespace(""), "");
    EXPECT_EQ(trimmedWhitespace(" \xFF x \xC2"), "\xFF x \xC2");
}

TEST(DisplayNameCollator, IgnoresCaseAndFallsBackToCharacterOrder) {
    const DisplayNameCollator collator(std::locale::classic());
    // ASCII names are covered by the scan's sort order.
    EXPECT_EQ(collator.compare("Claude", "claude"), 0);
    EXPECT_TRUE(collator.less("\xC3\x89t\xC3\xA9", "\xC3\xA9z"));  // Été < ez, case ignored
    // The user's locale is whatever the environment names, or the fallback.
    EXPECT_EQ(DisplayNameCollator::forUserLocale().compare("OLLAMA", "ollama"), 0);
}

}  // namespace
}  // namespace vigilo
