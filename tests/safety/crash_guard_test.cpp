#include "safety/crash_guard.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <string>

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

// Files not armed or not decodable are ignored and kept where they are.
TEST_F(CrashGuardTest, UnarmedOrUndecodableFileIsIgnoredAndKept) {
    const std::string cases[] = {
        R"({"clamshellArmed":false,"pid":7,"armedAt":"2026-03-01T22:14:05Z","heartbeatAt":"2026-03-01T22:14:05Z"})",
        R"({"clamshellArmed":true})",
        R"({"clamshellArmed":true,"pid":7,"armedAt":"2026-03-01T22:14:05.123Z","heartbeatAt":"2026-03-01T22:14:05Z"})",
        R"({"clamshellArmed":true,"pid":7,"armedAt":"2026-03-01T22:14:05+01:00","heartbeatAt":"2026-03-01T22:14:05Z"})",
        R"({"clamshellArmed":true,"pid":4294967296,"armedAt":"2026-03-01T22:14:05Z","heartbeatAt":"2026-03-01T22:14:05Z"})",
        R"({"clamshellArmed":"yes","pid":7,"armedAt":"2026-03-01T22:14:05Z","heartbeatAt":"2026-03-01T22:14:05Z"})",
        R"([true])",
    };
    for (const auto& contents : cases) {
        SCOPED_TRACE(contents);
        writeFile(contents);
        EXPECT_FALSE(guard.recoverIfStale());
        guard.heartbeat();
        EXPECT_EQ(readFile(file), contents);
    }
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
