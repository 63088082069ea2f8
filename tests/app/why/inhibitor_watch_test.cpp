#include "app/why/inhibitor_watch.h"

#include <gtest/gtest.h>

#include "support/fake_loop.h"

namespace vigilo {
namespace {

using std::chrono::milliseconds;

// Sources whose locks the test sets, counting reads and holding the watcher's callback.
class ScriptedSources final : public InhibitorSources {
public:
    InhibitorSnapshot read() override {
        ++reads;
        return {.logind = locks};
    }
    Handle watch(std::function<void()> onChange) override {
        changed = std::move(onChange);
        return Handle([this] { changed = nullptr; });
    }
    void take(std::string who) {
        locks.push_back({.what = "sleep", .who = std::move(who), .why = "w", .mode = "block", .uid = 1000, .pid = 5});
        if (changed) changed();
    }

    std::vector<LogindLock> locks;
    std::function<void()> changed;
    int reads = 0;
};

std::vector<std::string> whos(const std::vector<InhibitorEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& entry : entries) out.push_back(entry.who);
    return out;
}

struct InhibitorWatchTest : ::testing::Test {
    FakeLoop loop;
    ScriptedSources sources;
    InhibitorWatch watch{loop, sources, {.userUid = 1000, .applicationPid = 880, .ownRows = [this] { return own; }}};
    std::vector<InhibitorEntry> own;
};

TEST_F(InhibitorWatchTest, ReadsNothingUntilAskedAndTheFirstQuestionReadsBeforeItAnswers) {
    sources.locks.push_back({.what = "sleep", .who = "backup", .why = "w", .mode = "block", .pid = 9});
    loop.fastForwardBy(std::chrono::seconds(5));
    EXPECT_EQ(sources.reads, 0);
    EXPECT_FALSE(sources.changed);

    EXPECT_EQ(whos(watch.answer()), std::vector<std::string>{"backup"});
    EXPECT_EQ(sources.reads, 1);
    // Live now: the next question is answered from the list, and a change is followed.
    sources.take("player");
    loop.fastForwardBy(InhibitorWatch::kCoalesce);
    EXPECT_EQ(whos(watch.answer()), (std::vector<std::string>{"backup", "player"}));
    EXPECT_EQ(sources.reads, 2);

    // A lock taken without a signal is in the next answer a quarter second on,
    // and questions in between are answered from the list.
    sources.locks.push_back({.what = "idle", .who = "silent", .why = "w", .mode = "block", .pid = 6});
    EXPECT_EQ(whos(watch.answer()).size(), 2u);
    loop.fastForwardBy(InhibitorWatch::kCoalesce);
    EXPECT_EQ(whos(watch.answer()), (std::vector<std::string>{"backup", "player", "silent"}));
    EXPECT_EQ(sources.reads, 3);
}

TEST_F(InhibitorWatchTest, SignalsAreCoalescedToOneReadPerQuarterSecond) {
    Handle looking = watch.look();
    EXPECT_EQ(sources.reads, 1);
    for (int i = 0; i < 5; ++i) {
        sources.take("t" + std::to_string(i));
        loop.fastForwardBy(milliseconds(20));
    }
    // The first signal came 0 ms after the first read: one read at 250 ms covers all five.
    EXPECT_EQ(sources.reads, 1);
    loop.fastForwardBy(milliseconds(150));
    EXPECT_EQ(sources.reads, 2);
    EXPECT_EQ(watch.entries.get().size(), 5u);
    // A change long after the last read is read on the next turn.
    loop.fastForwardBy(std::chrono::seconds(1));
    sources.take("late");
    loop.runUntilIdle();
    EXPECT_EQ(sources.reads, 3);
}

TEST_F(InhibitorWatchTest, StopsWatchingOnceNobodyLooksAndTheClientsInterestHasPassed) {
    Handle looking = watch.look();
    watch.answer();
    looking.cancel();
    EXPECT_TRUE(sources.changed);  // the client still counts
    loop.fastForwardBy(InhibitorWatch::kClientInterest);
    EXPECT_FALSE(sources.changed);
    EXPECT_TRUE(watch.entries.get().empty());
    const int reads = sources.reads;
    sources.take("unseen");
    loop.fastForwardBy(std::chrono::seconds(5));
    EXPECT_EQ(sources.reads, reads);
}

TEST_F(InhibitorWatchTest, TheApplicationsOwnRowsFollowItsStateWithoutARead) {
    Handle looking = watch.look();
    EXPECT_TRUE(watch.entries.get().empty());
    own = {{.what = {"sleep"}, .who = "Vigilo", .why = "Keep Awake", .origin = InhibitorOrigin::vigilo}};
    watch.ownChanged();
    EXPECT_EQ(whos(watch.entries.get()), std::vector<std::string>{"Vigilo"});
    // A timer's minutes count down in the list without a read.
    own[0].why = "Timer \u2014 41 min left";
    loop.fastForwardBy(InhibitorWatch::kOwnRowsEvery);
    EXPECT_EQ(watch.entries.get()[0].why, "Timer \u2014 41 min left");
    EXPECT_EQ(sources.reads, 1);
}

}  // namespace
}  // namespace vigilo
