#include <gtest/gtest.h>

#include "common/temp_dir.h"
#include "ui/onboarding_model.h"
#include "ui/settings_form.h"

namespace vigilo::testing {
namespace {

TEST(SettingsForm, PushFieldsAreStoredTrimmedOrRefused) {
    struct Case {
        PushField field;
        const char* typed;
        const char* stored;  // nullptr: refused
    };
    const std::string longTopic(65, 'a');
    const Case cases[] = {
        {PushField::ntfyServer, "  https://ntfy.example.org/ \n", "https://ntfy.example.org/"},
        {PushField::ntfyServer, "ntfy.example.org", nullptr},
        {PushField::ntfyServer, "", nullptr},
        {PushField::ntfyTopic, " builds_7f-3a ", "builds_7f-3a"},
        {PushField::ntfyTopic, "", ""},
        {PushField::ntfyTopic, "my topic", nullptr},
        {PushField::ntfyTopic, longTopic.c_str(), nullptr},
        {PushField::pushoverToken, "azGDORePK8gMaC0QOYAMyEEuzJnyUi", "azGDORePK8gMaC0QOYAMyEEuzJnyUi"},
        {PushField::pushoverUser, "uQiRzpo4DXghDmr9QzzfQu27cm/qK", nullptr},
    };
    for (const auto& c : cases) {
        const auto edit = checkPushField(c.field, c.typed);
        if (c.stored) {
            EXPECT_FALSE(edit.refusal) << c.typed;
            EXPECT_EQ(edit.text, c.stored);
        } else {
            EXPECT_TRUE(edit.refusal) << c.typed;
        }
    }
}

TEST(SettingsForm, TypedPatternsAreAddedOnceOrSayWhyNot) {
    TempDir dir;
    SerialWriter writer;
    AppSettings settings(dir.path(), writer);
    settings.watchPatterns.set({"claude"});
    EXPECT_EQ(addTypedPattern(settings, "  \n"), "Type the name of a program first.");
    EXPECT_EQ(addTypedPattern(settings, " Claude "), "That program is already in the list.");
    EXPECT_TRUE(addTypedPattern(settings, std::string(300, 'x')));  // the list's own limit
    EXPECT_EQ(addTypedPattern(settings, " blender\n"), std::nullopt);
    EXPECT_EQ(settings.watchPatterns.get(), (std::vector<std::string>{"claude", "blender"}));
}

TEST(Onboarding, NavigationShowsBackFromTheSecondStepAndDoneOnTheLast) {
    OnboardingProgress progress;
    EXPECT_EQ(progress.progressText(), "Step 1 of 6");
    EXPECT_FALSE(progress.showsBack());
    progress.back();
    EXPECT_EQ(progress.index(), 0u);
    for (int i = 0; i < 10; ++i) progress.next();
    EXPECT_EQ(progress.progressText(), "Step 6 of 6");
    EXPECT_TRUE(progress.isLast());
    EXPECT_TRUE(progress.showsBack());
    EXPECT_EQ(progress.kind(), OnboardingStepKind::tryItNow);
    EXPECT_EQ(onboardingSteps()[static_cast<std::size_t>(OnboardingStepKind::notifications)].title,
              "Allow notifications");
}

}  // namespace
}  // namespace vigilo::testing
