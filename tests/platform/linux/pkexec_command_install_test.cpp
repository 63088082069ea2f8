#include "platform/linux/pkexec_command_install.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "common/temp_dir.h"

namespace vigilo::testing {
namespace {

// A stand-in for pkexec that records its arguments and answers with the
// status the test gives; the helper stand-in complains like the real one.
class PkexecCommandInstallTest : public ::testing::Test {
protected:
    std::string script(const std::string& name, const std::string& body) {
        const auto path = dir.write(name, "#!/bin/sh\n" + body);
        ::chmod(path.c_str(), 0755);
        return path.string();
    }
    TempDir dir;
    std::string helper = script("vigilo-helper", "echo \"vigilo-helper: refused $*\" >&2\nexit 2\n");
};

TEST_F(PkexecCommandInstallTest, PromptOutcomesBecomeMessages) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"exit 0\n", std::nullopt},
        {"exit 126\n", "The administrator's password was not given."},
        {"exit 127\n", "Not authorised to change /usr/local/bin."},
        {"exec \"$@\"\n", "refused install-cli /x/vigilo-app"},
    };
    for (const auto& [body, expected] : cases) {
        PkexecCommandInstall install(helper, script("pkexec", body), false);
        EXPECT_EQ(install.install("/x/vigilo-app"), expected) << body;
    }

    const std::string log = (dir / "args").string();
    PkexecCommandInstall recording(helper, script("pkexec", "echo \"$@\" > " + log + "\n"), false);
    EXPECT_EQ(recording.remove(), std::nullopt);
    EXPECT_EQ(readFile(log), helper + " install-cli remove\n");

    PkexecCommandInstall missing(dir / "nowhere", "pkexec", false);
    EXPECT_EQ(missing.remove(), "The privileged helper is not installed (" + (dir / "nowhere").string() + ").");
}

}  // namespace
}  // namespace vigilo::testing
