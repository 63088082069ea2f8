#include <sys/stat.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "alerts/webhook_manager.h"
#include "common/log_capture.h"
#include "common/temp_dir.h"
#include "platform/linux/http/curl_http_client.h"
#include "platform/linux/scoped_env.h"
#include "platform/linux/secrets/credential_store_factory.h"
#include "platform/linux/secrets/file_credential_store.h"
#include "platform/linux/secrets/lazy_credential_store.h"
#include "platform/linux/secrets/secret_service_credential_store.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;

mode_t modeOf(const std::filesystem::path& file) {
    struct stat info {};
    ::stat(file.c_str(), &info);
    return info.st_mode & 0777;
}

using testing::ScopedEnv;

WebhookConfig sampleConfig() {
    return WebhookConfig{true, "123:ABC", "-100 42", false, "", true, "https://hooks.slack.test/x\"y",
                         false, "http://192.168.1.5/vigilo"};
}

TEST(FileCredentialStoreTest, WritesAPrivateFileAndReadsItBack) {
    testing::TempDir dir;
    FileCredentialStore store(dir / "config/Vigilo/webhooks.json");
    EXPECT_FALSE(store.read());
    EXPECT_FALSE(store.write("{\"a\":1}"));
    EXPECT_EQ(modeOf(store.file()), 0600u);
    EXPECT_EQ(store.read(), "{\"a\":1}");

    ::chmod(store.file().c_str(), 0644);
    EXPECT_EQ(store.read(), "{\"a\":1}");
    EXPECT_EQ(modeOf(store.file()), 0600u);

    FileCredentialStore folder(dir.path());
    EXPECT_FALSE(folder.read());
}

TEST(FileCredentialStoreTest, RestartRestoresExactlyTheSavedConfigAndCorruptFilesGiveDefaults) {
    testing::TempDir dir;
    FakeLoop loop;
    CurlHttpClient http;
    WebhookService service(http);
    FileCredentialStore store(dir / "webhooks.json");
    {
        WebhookManager manager(loop, store, service);
        manager.setConfig(sampleConfig());
        loop.runUntilIdle();
    }
    FileCredentialStore reopened(dir / "webhooks.json");
    EXPECT_EQ(WebhookManager(loop, reopened, service).config().get(), sampleConfig());

    dir.write("webhooks.json", "{\"telegramEnabled\":");
    EXPECT_EQ(WebhookManager(loop, reopened, service).config().get(), WebhookConfig{});
}

CredentialItem webhookItem(const testing::TempDir& dir) {
    return CredentialItem{kWebhookCredentialService, kWebhookCredentialAccount, "Vigilo webhooks",
                          dir / "webhooks.json", "Webhook"};
}

// Without a session bus the private file keeps the item, said once in the
// log, whether the store is opened at once or at its first use.
TEST(CredentialStoreFactoryTest, WithoutASessionBusTheFileIsUsedAndSaidOnce) {
    testing::TempDir dir;
    ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (dir / "no-bus").string());
    EXPECT_FALSE(secretServiceAvailable());
    EXPECT_EQ(findStoredSecret(webhookItem(dir)), StoredSecret::noSecretService);
    {
        testing::LogCapture capture;
        auto store = openCredentialStore(webhookItem(dir));
        ASSERT_NE(dynamic_cast<FileCredentialStore*>(store.get()), nullptr);
        ASSERT_EQ(capture.lines().size(), 1u);
        EXPECT_TRUE(capture.lines()[0].starts_with("Webhook: No Secret Service is running")) << capture.lines()[0];
    }
    testing::LogCapture capture;
    LazyCredentialStore lazy(webhookItem(dir));
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_FALSE(lazy.read());
    EXPECT_FALSE(lazy.write("{}"));
    EXPECT_EQ(lazy.read(), "{}");
    EXPECT_EQ(testing::readFile(dir / "webhooks.json"), "{}");
    EXPECT_EQ(capture.lines().size(), 1u);
}

// A private session bus without service activation, and gnome-keyring on it
// when it is installed.
class PrivateSessionBus {
public:
    explicit PrivateSessionBus(const testing::TempDir& dir) : dir_(dir) {
        const auto config = dir.write("bus.conf", R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=)" + dir.path().string() + R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)");
        const std::string command = "dbus-daemon --config-file=" + config.string() + " --fork --print-address=1 --print-pid=1";
        if (FILE* out = ::popen(command.c_str(), "r")) {
            char line[512];
            if (std::fgets(line, sizeof line, out)) address_ = std::string(line, std::strcspn(line, "\n"));
            if (std::fgets(line, sizeof line, out)) pid_ = std::atoi(line);
            ::pclose(out);
        }
    }
    ~PrivateSessionBus() {
        if (pid_ > 0) ::kill(pid_, SIGTERM);  // gnome-keyring leaves with its bus
    }
    const std::string& address() const { return address_; }

    // Starts an unlocked gnome-keyring with its files in the test folder;
    // false when it is not installed or does not come up.
    bool startKeyring() {
        if (::access("/usr/bin/gnome-keyring-daemon", X_OK) != 0) return false;
        const auto home = dir_.path() / "home";
        std::filesystem::create_directories(home / "run");
        std::filesystem::permissions(home / "run", std::filesystem::perms::owner_all);
        // The variables go to the daemon itself, so it keeps its keyrings
        // and sockets in the test folder, never in the user's own.
        const std::string command = "cd / && printf test | env HOME=" + home.string() +
                                    " XDG_DATA_HOME=" + (home / "data").string() +
                                    " XDG_RUNTIME_DIR=" + (home / "run").string() +
                                    " DBUS_SESSION_BUS_ADDRESS='" + address_ +
                                    "' gnome-keyring-daemon --unlock --components=secrets --daemonize >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) return false;
        // The daemon claims its name on the bus shortly after it forks.
        for (int i = 0; i < 200 && !secretServiceAvailable(); ++i) std::this_thread::sleep_for(25ms);
        return secretServiceAvailable();
    }

private:
    const testing::TempDir& dir_;
    std::string address_;
    pid_t pid_ = -1;
};

TEST(SecretServiceCredentialStoreTest, RoundTripThroughARealSecretService) {
    testing::TempDir dir;
    PrivateSessionBus bus(dir);
    ASSERT_FALSE(bus.address().empty());
    ScopedEnv session("DBUS_SESSION_BUS_ADDRESS", bus.address());
    EXPECT_FALSE(secretServiceAvailable());  // no activation on this bus
    if (!bus.startKeyring()) GTEST_SKIP() << "gnome-keyring is not available";

    testing::LogCapture capture;
    auto store = openCredentialStore(webhookItem(dir));
    ASSERT_NE(dynamic_cast<SecretServiceCredentialStore*>(store.get()), nullptr);
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_FALSE(store->read());
    EXPECT_EQ(findStoredSecret(webhookItem(dir)), StoredSecret::absent);

    FakeLoop loop;
    CurlHttpClient http;
    WebhookService service(http);
    {
        WebhookManager manager(loop, *store, service);
        manager.setConfig(sampleConfig());
        loop.runUntilIdle();
    }
    EXPECT_TRUE(capture.lines().empty()) << capture.lines()[0];
    EXPECT_EQ(findStoredSecret(webhookItem(dir)), StoredSecret::presentOrUnknown);
    SecretServiceCredentialStore reopened(kWebhookCredentialService, kWebhookCredentialAccount, "Vigilo webhooks");
    EXPECT_EQ(WebhookManager(loop, reopened, service).config().get(), sampleConfig());
    LazyCredentialStore lazy(webhookItem(dir));
    EXPECT_EQ(WebhookManager(loop, lazy, service).config().get(), sampleConfig());
    EXPECT_FALSE(std::filesystem::exists(dir / "webhooks.json"));
    EXPECT_TRUE(std::filesystem::exists(dir / "home/data/keyrings"));

    // Another item is none of these: not found by the bus alone, nor by
    // libsecret, and a lazy store writes it to the keyring all the same.
    auto other = webhookItem(dir);
    other.service = "com.vigilo.app.other";
    EXPECT_EQ(findStoredSecret(other), StoredSecret::absent);
    EXPECT_FALSE(SecretServiceCredentialStore(other.service, other.account, other.label).read());
    LazyCredentialStore otherLazy(other);
    EXPECT_FALSE(otherLazy.read());
    EXPECT_FALSE(otherLazy.write("other"));
    EXPECT_EQ(LazyCredentialStore(other).read(), "other");
    EXPECT_FALSE(std::filesystem::exists(dir / "webhooks.json"));
}

}  // namespace
}  // namespace vigilo
