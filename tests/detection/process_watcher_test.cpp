#include "detection/process_watcher.h"

#include <gtest/gtest.h>

#include <memory>

#include "detection/test_process_table.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;
using testing::TestProcessTable;
using testing::TestRunningApplications;

constexpr std::uint64_t kSecond = 1'000'000'000;

class ProcessWatcherTest : public ::testing::Test {
protected:
    ProcessWatcherTest() {
        ProcessWatcher::Options options;
        options.patterns = {"claude", "ollama"};
        watcher = std::make_unique<ProcessWatcher>(loop, table, applications, options);
        subscription = watcher->matches.subscribe([this](const auto&) { ++reports; });
    }
    const std::vector<ProcessWatcher::Match>& matches() const { return watcher->matches.get(); }

    FakeLoop loop;
    std::shared_ptr<TestProcessTable> table = std::make_shared<TestProcessTable>();
    std::shared_ptr<TestRunningApplications> applications = std::make_shared<TestRunningApplications>();
    std::unique_ptr<ProcessWatcher> watcher;
    Handle subscription;
    int reports = 0;
};

// The GPU source is asked from the scans and let go when polling stops, so
// nothing it opened keeps a GPU awake after Auto Mode.
TEST(ProcessWatcherGpuTest, PublishesGpuUseAndLetsTheSourceGoWhenStopped) {
    FakeLoop loop;
    auto table = std::make_shared<TestProcessTable>();
    auto gpu = std::make_shared<testing::TestGpuUsage>();
    table->add(7, "claude");
    ProcessWatcher::Options options;
    options.patterns = {"claude"};
    ProcessWatcher watcher(loop, table, nullptr, gpu, options);
    watcher.start();
    loop.runUntilIdle();
    gpu->use[7] = {55.0, false};
    loop.fastForwardBy(70s);  // past the hold-off: CPU-quiet, GPU-busy
    ASSERT_EQ(watcher.matches.get().size(), 1u);
    EXPECT_TRUE(watcher.matches.get()[0].isActive);
    EXPECT_EQ(watcher.matches.get()[0].gpuPercent, 55.0);
    EXPECT_EQ(gpu->releases, 0);
    watcher.stop();
    loop.runUntilIdle();
    EXPECT_EQ(gpu->releases, 1);
}

TEST_F(ProcessWatcherTest, FollowsAProcessFromBusyToIdleToGoneAndBack) {
    table->add(7, "claude", 0, 1 << 20);
    watcher->start();
    loop.runUntilIdle();
    ASSERT_EQ(matches().size(), 1u);
    EXPECT_TRUE(matches()[0].isActive);
    EXPECT_EQ(matches()[0].cpuPercent, 0);
    EXPECT_EQ(matches()[0].memoryBytes, 1u << 20);
    const WallTime firstSeen = loop.wallNow();
    EXPECT_EQ(matches()[0].firstSeenAt, firstSeen);

    loop.fastForwardBy(3s);  // no CPU used since: idle
    ASSERT_EQ(matches().size(), 1u);
    EXPECT_FALSE(matches()[0].isActive);
    EXPECT_EQ(matches()[0].secondsSinceActive, 3);
    EXPECT_EQ(matches()[0].firstSeenAt, firstSeen);

    loop.fastForwardBy(57s);  // idle for exactly the hold-off
    ASSERT_EQ(matches().size(), 1u);
    EXPECT_EQ(matches()[0].secondsSinceActive, 60);
    loop.fastForwardBy(3s);
    EXPECT_TRUE(matches().empty());

    table->addCpu(7, kSecond);
    loop.fastForwardBy(3s);
    ASSERT_EQ(matches().size(), 1u);
    EXPECT_TRUE(matches()[0].isActive);
    EXPECT_NEAR(matches()[0].cpuPercent, 100.0 / 3, 1e-9);
    EXPECT_EQ(matches()[0].firstSeenAt, loop.wallNow());  // a return is a new sighting
}

TEST_F(ProcessWatcherTest, AReusedPidIsANewProcess) {
    table->add(7, "claude", 5 * kSecond, 4096, /*startTime=*/100);
    watcher->start();
    loop.fastForwardBy(3s);
    ASSERT_FALSE(matches()[0].isActive);  // idle since its first sighting
    table->remove(7);
    table->add(7, "claude", 5 * kSecond, 4096, /*startTime=*/900);
    loop.fastForwardBy(3s);
    ASSERT_EQ(matches().size(), 1u);
    // Not the old one idle for 6 s: a first sighting, busy, seen from now.
    EXPECT_TRUE(matches()[0].isActive);
    EXPECT_EQ(matches()[0].cpuPercent, 0);
    EXPECT_EQ(matches()[0].firstSeenAt, loop.wallNow());
}

TEST_F(ProcessWatcherTest, PublishesOnlyWhenSomethingChanged) {
    watcher->useCpuDetection.set(false);
    table->add(7, "claude", 0, 4096);
    watcher->start();
    loop.fastForwardBy(3s);
    EXPECT_EQ(table->listings, 2);
    EXPECT_EQ(reports, 1);

    table->usage[7].residentBytes = 8192;
    loop.fastForwardBy(3s);
    EXPECT_EQ(reports, 2);
    EXPECT_EQ(matches()[0].memoryBytes, 8192u);
}

TEST_F(ProcessWatcherTest, SkipsTicksWhileAScanIsInFlight) {
    table->add(7, "ollama");
    loop.holdBackgroundTasks(true);
    watcher->start();
    EXPECT_TRUE(watcher->isScanning());
    loop.fastForwardBy(7s);  // two ticks, both turned away
    EXPECT_EQ(loop.pendingBackgroundTasks(), 1u);
    loop.holdBackgroundTasks(false);
    loop.runUntilIdle();
    EXPECT_FALSE(watcher->isScanning());
    EXPECT_EQ(table->listings, 1);
    EXPECT_EQ(matches().size(), 1u);
    loop.fastForwardBy(2s);  // the next tick scans again
    EXPECT_EQ(table->listings, 2);
}

TEST_F(ProcessWatcherTest, PollIntervalIsReadOnlyAtStart) {
    watcher->start();
    watcher->pollInterval.set(10);
    loop.fastForwardBy(3s);
    EXPECT_EQ(table->listings, 2);
    watcher->start();
    loop.runUntilIdle();
    EXPECT_EQ(table->listings, 3);
    loop.fastForwardBy(9s);
    EXPECT_EQ(table->listings, 3);
    loop.fastForwardBy(1s);
    EXPECT_EQ(table->listings, 4);
}

TEST_F(ProcessWatcherTest, StopEndsPollingAndKeepsTheLastMatches) {
    table->add(7, "claude");
    watcher->start();
    loop.runUntilIdle();
    watcher->stop();
    EXPECT_FALSE(watcher->isRunning());
    loop.fastForwardBy(30s);
    EXPECT_EQ(table->listings, 1);
    EXPECT_EQ(matches().size(), 1u);
}

TEST_F(ProcessWatcherTest, NoPatternsPublishAnEmptyListWithoutListingProcesses) {
    table->add(7, "claude");
    watcher->patterns.set({" ", ""});
    watcher->pollNow();
    watcher->pollNow();
    EXPECT_EQ(reports, 2);  // published even when already empty
    EXPECT_EQ(table->listings, 0);
    EXPECT_FALSE(watcher->isScanning());
}

TEST_F(ProcessWatcherTest, RestartForgetsCpuHistoryButKeepsFirstSeen) {
    table->add(7, "claude");
    watcher->start();
    loop.fastForwardBy(3s);
    ASSERT_FALSE(matches()[0].isActive);
    const WallTime firstSeen = matches()[0].firstSeenAt;
    loop.fastForwardBy(1s);
    watcher->start();  // no previous sample: a first sighting again
    loop.runUntilIdle();
    EXPECT_TRUE(matches()[0].isActive);
    EXPECT_EQ(matches()[0].firstSeenAt, firstSeen);
}

TEST_F(ProcessWatcherTest, ApplicationsAreLowerCasedBeforeMatching) {
    applications->applications = {{40, "Ollama", "COM.Electron.Ollama"}};
    watcher->useCpuDetection.set(false);
    watcher->pollNow();
    loop.runUntilIdle();
    ASSERT_EQ(matches().size(), 1u);
    EXPECT_EQ(matches()[0].displayName, "ollama");
    EXPECT_EQ(matches()[0].id, 40);
}

TEST_F(ProcessWatcherTest, ResultOfAScanIsDroppedWhenTheWatcherIsGone) {
    table->add(7, "claude");
    loop.holdBackgroundTasks(true);
    watcher->start();
    subscription.cancel();
    watcher.reset();
    loop.holdBackgroundTasks(false);
    loop.runUntilIdle();
    EXPECT_EQ(table->listings, 1);
    EXPECT_EQ(reports, 0);
}

}  // namespace
}  // namespace vigilo
