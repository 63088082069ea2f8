#include "activity/activity_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include "common/log_capture.h"
#include "common/temp_dir.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

class ActivityLogTest : public ::testing::Test {
protected:
    std::filesystem::path folder() const { return dir.path() / "Vigilo"; }
    std::filesystem::path file() const { return folder() / "activity.json"; }
    json stored() {
        writer.flush();
        return json::parse(*testing::readFile(file()));
    }

    testing::TempDir dir;
    FakeLoop loop;
    SerialWriter writer;
};

TEST_F(ActivityLogTest, RecordsNewestFirstAndSavesCompactJson) {
    ActivityLog log(folder(), loop.clock(), writer);
    log.record(ActivityKind::launched);
    loop.advanceWallClock(1500ms);
    log.record(ActivityKind::batteryWarn, 42);
    const auto& events = log.events().get();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, ActivityKind::batteryWarn);
    EXPECT_EQ(events[0].id.size(), 36u);
    EXPECT_NE(events[0].id, events[1].id);

    writer.flush();
    const std::string text = *testing::readFile(file());
    EXPECT_EQ(text.find(' '), std::string::npos);  // compact
    const json saved = json::parse(text);
    EXPECT_EQ(saved[0]["kind"], "batteryWarn");
    EXPECT_EQ(saved[0]["value"], 42);
    EXPECT_FALSE(saved[0].contains("text"));
    EXPECT_FALSE(saved[1].contains("value"));
    EXPECT_EQ(saved[1]["at"], "2026-01-05T09:00:00Z");
    EXPECT_EQ(saved[0]["at"], "2026-01-05T09:00:01Z");
    const std::string id = saved[0]["id"];
    EXPECT_EQ(canonicalUuid(id), id);  // upper case
}

TEST_F(ActivityLogTest, The501stEventDropsExactlyTheOldest) {
    ActivityLog log(folder(), loop.clock(), writer);
    for (int i = 0; i < 500; ++i) log.record(ActivityKind::taskFinished, i);
    log.record(ActivityKind::timerFinished);
    const auto& events = log.events().get();
    ASSERT_EQ(events.size(), 500u);
    EXPECT_EQ(events.front().kind, ActivityKind::timerFinished);
    EXPECT_EQ(events.back().value, 1);
    const json saved = stored();  // a burst of writes leaves the newest list
    ASSERT_EQ(saved.size(), 500u);
    EXPECT_EQ(saved[0]["kind"], "timerFinished");
}

TEST_F(ActivityLogTest, ReloadRestoresEventsWithoutFractionalSeconds) {
    {
        ActivityLog log(folder(), loop.clock(), writer);
        loop.advanceWallClock(250ms);
        log.record(ActivityKind::agentStuck, std::nullopt, "claude stuck \u2014 90 min");
        writer.flush();
    }
    ActivityLog reloaded(folder(), loop.clock(), writer);
    const auto& events = reloaded.events().get();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].at, FakeLoop::defaultWallStart());
    EXPECT_EQ(events[0].text, "claude stuck \u2014 90 min");
    EXPECT_FALSE(events[0].value);
}

TEST_F(ActivityLogTest, OldFilesWithoutOptionalKeysLoadInFileOrderUntrimmed) {
    json array = json::array();
    for (int i = 0; i < 502; ++i) {
        array.push_back({{"id", "3f2504e0-4f89-11d3-9a0c-0305e82c3301"}, {"at", "2025-03-04T21:15:09Z"},
                         {"kind", i == 0 ? "networkLost" : "launched"}});
    }
    dir.write("Vigilo/activity.json", array.dump());
    ActivityLog log(folder(), loop.clock(), writer);
    const auto& events = log.events().get();
    ASSERT_EQ(events.size(), 502u);
    EXPECT_EQ(events[0].kind, ActivityKind::networkLost);
    EXPECT_EQ(events[0].id, "3F2504E0-4F89-11D3-9A0C-0305E82C3301");
    EXPECT_EQ(formatIso8601(events[0].at), "2025-03-04T21:15:09Z");
}

TEST_F(ActivityLogTest, BadFilesAreRejectedWholeAndKeptAside) {
    const std::string good = R"({"id":"3F2504E0-4F89-11D3-9A0C-0305E82C3301","at":"2025-03-04T21:15:09Z","kind":"launched"})";
    const std::string bad[] = {
        "[" + good + R"(,{"id":"3F2504E0-4F89-11D3-9A0C-0305E82C3301","at":"2025-03-04T21:15:09Z","kind":"sleptWell"}])",
        R"([{"id":"3F2504E0-4F89-11D3-9A0C-0305E82C3301","at":"yesterday","kind":"launched"}])",
        R"([{"id":"not-a-uuid","at":"2025-03-04T21:15:09Z","kind":"launched"}])",
        R"([{"at":"2025-03-04T21:15:09Z","kind":"launched"}])",
        R"([{"id":"3F2504E0-4F89-11D3-9A0C-0305E82C3301","at":"2025-03-04T21:15:09Z","kind":"launched","value":1.5}])",
        R"([{"id":"3F2504E0-4F89-11D3-9A0C-0305E82C3301","at":"2025-03-04T21:15:09Z","kind":"launched","value":1e300}])",
        R"({"events":[]})",
        "[{\"id\":",
        "[" + good + std::string(kMaxActivityFileSize, ' ') + "]",  // too big
    };
    for (const auto& contents : bad) {
        SCOPED_TRACE(contents.substr(0, 200));
        dir.write("Vigilo/activity.json", contents);
        testing::LogCapture capture;
        ActivityLog log(folder(), loop.clock(), writer);
        EXPECT_TRUE(log.events().get().empty());
        ASSERT_EQ(capture.lines().size(), 2u);
        EXPECT_TRUE(capture.lines()[0].starts_with("Activity: error: Activity log decode failed: "));
        EXPECT_EQ(capture.lines()[1], "Activity: Kept the rejected activity log as " + file().string() + ".bad");
        EXPECT_EQ(testing::readFile(file().string() + ".bad"), contents);

        log.record(ActivityKind::launched);
        EXPECT_EQ(stored().size(), 1u);
        EXPECT_EQ(testing::readFile(file().string() + ".bad"), contents);
    }
}

TEST_F(ActivityLogTest, AFifoInPlaceOfTheFileIsSetAsideWithoutBlocking) {
    std::filesystem::create_directories(folder());
    ASSERT_EQ(::mkfifo(file().c_str(), 0600), 0);
    testing::LogCapture capture;
    ActivityLog log(folder(), loop.clock(), writer);
    EXPECT_TRUE(log.events().get().empty());
    ASSERT_FALSE(capture.lines().empty());
    EXPECT_EQ(capture.lines()[0], "Activity: error: Activity log decode failed: not a regular file");
    EXPECT_TRUE(std::filesystem::is_fifo(file().string() + ".bad"));
    log.record(ActivityKind::launched);
    EXPECT_EQ(stored().size(), 1u);
}

TEST_F(ActivityLogTest, MissingFileStartsEmptySilentlyAndClearEmptiesTheFile) {
    testing::LogCapture capture;
    ActivityLog log(folder(), loop.clock(), writer);
    EXPECT_TRUE(log.events().get().empty());
    EXPECT_TRUE(capture.lines().empty());
    log.record(ActivityKind::launched);
    log.clear();
    EXPECT_TRUE(log.events().get().empty());
    EXPECT_EQ(stored(), json::array());
    EXPECT_FALSE(std::filesystem::exists(file().string() + ".bad"));

    ActivityLog inMemory(std::nullopt, loop.clock(), writer);  // no folder
    inMemory.record(ActivityKind::launched);
    EXPECT_EQ(inMemory.events().get().size(), 1u);
    EXPECT_FALSE(inMemory.fileURL());
}


TEST(ActivityEventTest, TitlesFillValueTextAndPercent) {
    ActivityEvent warn{makeUuid(), {}, ActivityKind::batteryWarn, 15, std::nullopt};
    EXPECT_EQ(warn.localizedTitle(), "Battery low \u2014 15%");
    EXPECT_EQ(warn.symbol(), "battery.25");
    ActivityEvent task{makeUuid(), {}, ActivityKind::taskFinished, std::nullopt, std::nullopt};
    EXPECT_EQ(task.localizedTitle(), "Command finished (exit 0)");
    ActivityEvent started{makeUuid(), {}, ActivityKind::keepAwakeStarted, std::nullopt, "Awake On"};
    EXPECT_EQ(started.localizedTitle(), "Keep-awake on \u2014 Awake On");
    ActivityEvent stuck{makeUuid(), {}, ActivityKind::agentStuck, std::nullopt, std::nullopt};
    EXPECT_EQ(stuck.localizedTitle(), "Watchdog: ");
    EXPECT_EQ(fillTitleFormat("100%% %x %", 1, ""), "100% %x %");
}

TEST(ActivityEventTest, KindNamesRoundTripAndUnknownNamesAreRejected) {
    for (int i = 0; i < kActivityKindCount; ++i) {
        const auto kind = static_cast<ActivityKind>(i);
        EXPECT_EQ(activityKindFromName(activityKindName(kind)), kind);
    }
    EXPECT_FALSE(activityKindFromName("Launched"));
}

TEST(ActivityEventTest, Iso8601AcceptsOffsetsAndFractionsAndRejectsNonsense) {
    const auto utc = parseIso8601("2025-03-04T21:15:09Z");
    ASSERT_TRUE(utc);
    EXPECT_EQ(parseIso8601("2025-03-04T22:15:09+01:00"), utc);
    EXPECT_EQ(formatIso8601(*parseIso8601("2025-03-04T21:15:09.750Z")), "2025-03-04T21:15:09Z");
    for (const char* bad : {"2025-03-04", "2025-13-04T21:15:09Z", "2025-02-30T21:15:09Z", "2025-03-04T21:15:09",
                            "2025-03-04T21:15:09Zjunk", "2025-03-04 21:15:09Z", "2025-03-04T21:15:09.Z",
                            "4050-03-04T21:15:09Z", "1600-01-01T00:00:00Z"}) {
        EXPECT_FALSE(parseIso8601(bad)) << bad;
    }
}

}  // namespace
}  // namespace vigilo
