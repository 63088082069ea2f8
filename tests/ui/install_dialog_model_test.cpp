#include "ui/install_dialog_model.h"

#include <gtest/gtest.h>

#include "cli/command_on_path.h"
#include "ui/onboarding_model.h"

namespace vigilo::testing {
namespace {

std::vector<CliInstallTarget> targetsOf(const InstallDialogTexts& texts) {
    std::vector<CliInstallTarget> targets;
    for (const auto& choice : texts.choices) targets.push_back(choice.target);
    return targets;
}

// The dialog and onboarding agree: another `vigilo` on the PATH means no
// per-user install, only the removal of ours; our own wrapper alone is no
// reason to stop offering it (installing again repairs it).
TEST(InstallOffer, PerUserInstallOnlyWithoutAnotherVigiloOnThePath) {
    using T = CliInstallTarget;
    const struct {
        const char* name;
        const char* other;  // none when null
        bool ours;
        std::vector<CliInstallTarget> targets;
    } cases[] = {
        {"none", nullptr, false, {T::user, T::system, T::uninstall}},
        {"only ours", nullptr, true, {T::user, T::system, T::uninstall}},
        {"the package's", "/usr/bin/vigilo", false, {T::uninstall}},
        {"the package's beside ours", "/usr/bin/vigilo", true, {T::uninstall}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VigiloOnPath onPath;
        if (c.other) onPath.other = c.other;
        onPath.ours = c.ours;
        const auto dialog = installDialogTexts(onPath);
        EXPECT_EQ(targetsOf(dialog), c.targets);
        EXPECT_EQ(dialog.cancel, "Cancel");
        const auto onboarding = onboardingCommandPart(onPath);
        EXPECT_EQ(onboarding.offersInstall, !onPath.other);
        if (onPath.other) {
            EXPECT_NE(dialog.informativeText.find("/usr/bin/vigilo"), std::string::npos) << dialog.informativeText;
            EXPECT_NE(onboarding.text.find("/usr/bin/vigilo"), std::string::npos) << onboarding.text;
        }
    }
}

}  // namespace
}  // namespace vigilo::testing
