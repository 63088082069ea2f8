#include "safety/crash_guard.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <fmt/format.h>

#include <chrono>
#include <string>
#include <vector>

#include "common/log_capture.h"
#include "common/temp_dir.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;
using testing::readFile;

struct CrashGuardTest : ::testing::Test {
    FakeLoop loop;
    vigilo::testing::TempDir dir;
    std::filesystem::path folder = dir / "Vigilo";
    std::filesystem::path file = folder / kCrashGuardFileName;
    CrashGuard guard{folder, 4242, loop.clock()};
    vigilo::testing::LogCapture logs;

    void writeFile(const std::string& contents) { dir.write("Vigilo/crashguard.json", contents); }

    std::vector<std::string> unreadableLog(const std::string& problem) const {
        return {fmt::format("CrashGuard: error: Unreadable {} ({}): left where it is; whether closed-lid mode was left "
                            "on is taken from the system alone",
                            file.string(), problem)};
    }
};

TEST_F(CrashGuardTest, ArmWritesTheFourKeysAndHeartbeatRefreshesOnlyItsDate) {
    guard.heartbeat();
    EXPECT_FALSE(std::filesystem::exists(file)) << "a heartbeat alone creates nothing";
    guard.arm();
    const auto stored = nlohmann::json::parse(readFile(file).value());
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(stored["clamshellArmed"], true);
    EXPECT_EQ(stored["pid"], 4242);
    EXPECT_EQ(stored["armedAt"], stored["heartbeatAt"]);
    const auto armed = decodeCrashGuardState(stored.dump()).value();
    loop.advanceWallClock(10s);
    guard.heartbeat();
    const auto beaten = decodeCrashGuardState(readFile(file).value()).value();
    EXPECT_EQ(beaten.armedAt, armed.armedAt);
    EXPECT_EQ(beaten.heartbeatAt, armed.heartbeatAt + 10s);
    guard.disarm();
    guard.disarm();
    EXPECT_FALSE(std::filesystem::exists(file));
}

// The pid is never checked: a file of a copy that is still running counts.
TEST_F(CrashGuardTest, RecoverClearsAnArmedFileOfALiveWriter) {
    CrashGuard other{folder, 77, loop.clock()};
    other.arm();
    EXPECT_TRUE(guard.recoverIfStale());
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(logs.contains("CrashGuard: Stale crash-guard state found (pid 77) — recovering"));
    EXPECT_FALSE(guard.recoverIfStale());
}

// Files not armed or not readable are ignored and kept where they are; an
// unreadable one is reported by name, once however many heartbeats find it.
TEST_F(CrashGuardTest, UnarmedOrUnreadableFileIsIgnoredAndKept) {
    const struct {
        std::string contents;
        std::string problem;  // empty: not reported
    } cases[] = {
        {R"({"clamshellArmed":false,"pid":7,"armedAt":"2026-03-01T22:14:05Z","heartbeatAt":"2026-03-01T22:14:05Z"})",
         ""},
        {R"({"clamshellArmed":true})", "not a crash-guard record"},
        {R"({"clamshellArmed":true,"pid":7,"armedAt":"2026-03-01T22:14:05.123Z","heartbeatAt":"2026-03-01T22:14:05Z"})",
         "not a crash-guard record"},
        {R"({"clamshellArmed":true,"pid":7,"armedAt":"2026-03-01T22:14:05+01:00","heartbeatAt":"2026-03-01T22:14:05Z"})",
         "not a crash-guard record"},
        {R"({"clamshellArmed":true,"pid":4294967296,"armedAt":"2026-03-01T22:14:05Z","heartbeatAt":"2026-03-01T22:14:05Z"})",
         "not a crash-guard record"},
        {R"({"clamshellArmed":"yes","pid":7,"armedAt":"2026-03-01T22:14:05Z","heartbeatAt":"2026-03-01T22:14:05Z"})",
         "not a crash-guard record"},
        {R"([true])", "not a crash-guard record"},
        {"", "not a crash-guard record"},
        {std::string(kMaxCrashGuardFileBytes + 1, ' '), "4097 bytes is too big"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.contents.substr(0, 40));
        logs.clear();
        writeFile(c.contents);
        CrashGuard launch{folder, 4242, loop.clock()};
        EXPECT_FALSE(launch.recoverIfStale());
        launch.heartbeat();
        launch.heartbeat();
        EXPECT_EQ(readFile(file), c.contents);
        EXPECT_EQ(logs.lines(), c.problem.empty() ? std::vector<std::string>{} : unreadableLog(c.problem));
    }
}

// Something that is not a file at all is left alone too, and closed-lid mode
// still arms over it at the next switch.
TEST_F(CrashGuardTest, AFolderInThePlaceOfTheFileIsReportedAndArmingStillWorks) {
    std::filesystem::create_directories(file);
    EXPECT_FALSE(guard.recoverIfStale());
    EXPECT_TRUE(std::filesystem::is_directory(file));
    EXPECT_EQ(logs.lines(), unreadableLog("not a regular file"));

    std::filesystem::remove(file);
    CrashGuard{folder, 77, loop.clock()}.arm();
    EXPECT_TRUE(guard.recoverIfStale());
}

TEST(CrashGuardWithoutFolder, DoesNothing) {
    FakeLoop loop;
    CrashGuard guard{std::nullopt, 1, loop.clock()};
    guard.arm();
    guard.heartbeat();
    guard.disarm();
    EXPECT_FALSE(guard.recoverIfStale());
}

}  // namespace
}  // namespace vigilo
