#include "ui/tray_presence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_loop.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;

// Each step happens at its virtual time; the calls to the hooks are
// written down as "make", "drop" and "notice".
struct Step {
    Duration at;
    enum { startWithHost, startWithout, present, absent, replaced } event;
};

struct Case {
    const char* name;
    std::vector<Step> steps;
    Duration until;
    std::vector<std::string> calls;
};

TEST(TrayPresence, IconFollowsTheHostAndTheNoticeComesOnlyAfterFiveSecondsWithout) {
    const Case cases[] = {
        {"host there at start", {{0s, Step::startWithHost}}, 60s, {"make"}},
        {"no host at all", {{0s, Step::startWithout}}, 60s, {"notice"}},
        {"panel starts 4 s after the application", {{0s, Step::startWithout}, {4s, Step::present}}, 60s, {"make"}},
        {"panel starts 6 s after the application",
         {{0s, Step::startWithout}, {6s, Step::present}},
         60s,
         {"notice", "make"}},
        {"panel restarts within 5 s",
         {{0s, Step::startWithHost}, {10s, Step::absent}, {13s, Step::present}},
         60s,
         {"make", "drop", "make"}},
        {"panel gone for good",
         {{0s, Step::startWithHost}, {10s, Step::absent}},
         60s,
         {"make", "drop", "notice"}},
        {"watcher replaced by a new owner",
         {{0s, Step::startWithHost}, {10s, Step::replaced}},
         60s,
         {"make", "make"}},
        {"the same answer twice changes nothing",
         {{0s, Step::startWithHost}, {1s, Step::present}},
         60s,
         {"make"}},
    };
    for (const auto& c : cases) {
        FakeLoop loop;
        std::vector<std::string> calls;
        TrayPresence presence(loop, {.makeIcon = [&] { calls.push_back("make"); },
                                     .dropIcon = [&] { calls.push_back("drop"); },
                                     .noHost = [&] { calls.push_back("notice"); }});
        Duration now{};
        for (const auto& step : c.steps) {
            loop.fastForwardBy(step.at - now);
            now = step.at;
            switch (step.event) {
            case Step::startWithHost: presence.start(true); break;
            case Step::startWithout: presence.start(false); break;
            case Step::present: presence.hostChanged(true); break;
            case Step::absent: presence.hostChanged(false); break;
            case Step::replaced: presence.hostReplaced(); break;
            }
        }
        loop.fastForwardBy(c.until - now);
        EXPECT_EQ(calls, c.calls) << c.name;
    }
}

}  // namespace
}  // namespace vigilo
