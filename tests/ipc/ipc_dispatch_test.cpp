#include "ipc/ipc_dispatch.h"
#include "ipc/ipc_framing.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vigilo {
namespace {

using Strings = std::vector<std::string>;

class FakeApplication final : public IPCApplication {
public:
    std::string modeLabel() const override { return mode; }
    bool isAutoWatch() const override { return mode == "Auto Mode"; }
    bool assertionActive() const override { return mode != "Awake Off"; }
    std::optional<std::string> keepAwakeWarning() const override { return warning; }
    bool clamshellActive() const override { return false; }
    std::optional<BatteryReading> battery() const override { return batteryReading; }
    std::string thermalLabel() const override { return "Normal"; }
    std::vector<TaskDetail> tasks() const override { return taskDetails; }
    std::vector<std::string> watchPatterns() const override { return patterns; }
    WeeklyReport weeklyReport() const override { return week; }
    std::optional<std::string> setWatchPatterns(std::vector<std::string> p) override {
        if (refusal) return refusal;
        patterns = std::move(p);
        ++patternWrites;
        return std::nullopt;
    }
    void startAlwaysOn() override { mode = "Awake On"; }
    void stop() override { mode = "Awake Off"; }
    void toggleAutoWatch() override {
        ++toggles;
        mode = isAutoWatch() ? "Awake Off" : "Auto Mode";
    }
    void startTimer(double seconds) override {
        timerSeconds = seconds;
        mode = "Timer Active";
    }
    void notifyAndPush(const std::string& title, const std::string& body) override { notified = {title, body}; }

    std::string mode = "Awake Off";
    std::optional<BatteryReading> batteryReading;
    std::optional<std::string> warning;
    std::vector<TaskDetail> taskDetails;
    Strings patterns;
    std::optional<std::string> refusal;
    WeeklyReport week;
    int patternWrites = 0, toggles = 0;
    double timerSeconds = 0;
    Strings notified;
};

IPCResponse dispatch(FakeApplication& app, IPCRequest request) { return dispatchIPCRequest(request, app); }

TEST(IPCDispatch, StatusOnADesktopHasNoBatteryAndEmptyTasks) {
    FakeApplication app;
    app.patterns = {"claude"};
    auto reply = dispatch(app, {.cmd = IPCCommand::status});
    EXPECT_EQ(encodeResponse(reply),
              R"({"ok":true,"mode":"Awake Off","assertionActive":false,"clamshellActive":false,"thermal":"Normal","tasks":[],"taskDetails":[],"patterns":["claude"]})");
    app.batteryReading = IPCApplication::BatteryReading{76, true};
    reply = dispatch(app, {.cmd = IPCCommand::status});
    EXPECT_EQ(reply.batteryPercent, 76);
    EXPECT_EQ(reply.isCharging, true);
}

TEST(IPCDispatch, StatusNamesEveryTaskAndDetailsThemWithinTheReplysSize) {
    FakeApplication app;
    app.taskDetails = {{"python3", 4121, "python3 train.py", true, 0}, {"python3", 4188, "python3 serve.py", false, 40}};
    auto reply = dispatch(app, {.cmd = IPCCommand::status});
    EXPECT_EQ(reply.tasks, (Strings{"python3", "python3"}));
    EXPECT_EQ(reply.taskDetails, app.taskDetails);

    // However many tasks and however long their command lines, the reply
    // beside the longest watch list stays readable by the client.
    app.patterns.assign(120, std::string(250, 'p'));
    app.taskDetails.assign(1000, {"python3", 1, "python3 " + std::string(4096, 'x'), true, 0});
    reply = dispatch(app, {.cmd = IPCCommand::status});
    EXPECT_EQ(reply.tasks->size(), 1000u);
    ASSERT_FALSE(reply.taskDetails->empty());
    EXPECT_LT(reply.taskDetails->size(), 1000u);
    EXPECT_EQ(reply.taskDetails->front().command.size(), kMaxTaskCommandBytes);
    EXPECT_LT(encodeResponse(reply).size() + 1, kMaxMessageBytes);
}

TEST(IPCDispatch, StartStopAndPing) {
    FakeApplication app;
    EXPECT_EQ(dispatch(app, {.cmd = IPCCommand::start}), (IPCResponse{.ok = true, .message = "started", .mode = "Awake On"}));
    EXPECT_EQ(dispatch(app, {.cmd = IPCCommand::stop}), (IPCResponse{.ok = true, .message = "stopped", .mode = "Awake Off"}));
    EXPECT_EQ(dispatch(app, {.cmd = IPCCommand::ping}), (IPCResponse{.ok = true, .message = "pong"}));
}

TEST(IPCDispatch, ReportCarriesTheWeekItsScoreAndTheRatingName) {
    FakeApplication app;
    app.week = {.runtimeHours = 2.5, .protectedSessions = 1, .thermalWarnings = 3, .longestSessionHours = 2.5,
                .generatedAt = *parseIso8601("2025-03-10T12:00:00Z")};
    const std::string wire = encodeResponse(dispatch(app, {.cmd = IPCCommand::report}));
    EXPECT_EQ(wire, R"({"ok":true,"report":{"runtimeHours":2.5,"protectedSessions":1,"lidClosedSessions":0,)"
                    R"("lowBatterySaves":0,"thermalWarnings":3,"emergencySleeps":0,"longestSessionHours":2.5,)"
                    R"("generatedAt":"2025-03-10T12:00:00Z"},"score":76,"rating":"thermalRisk"})");
    const auto decoded = decodeResponse(wire);
    ASSERT_TRUE(std::holds_alternative<IPCResponse>(decoded));
    EXPECT_EQ(std::get<IPCResponse>(decoded).report, app.week);
}

TEST(IPCDispatch, OnlyCommandsThatKeepAwakeCarryTheWarning) {
    FakeApplication app;
    app.warning = "refused";
    for (auto cmd : {IPCCommand::start, IPCCommand::timer, IPCCommand::autowatch}) {
        EXPECT_EQ(dispatch(app, {.cmd = cmd}).warning, "refused") << ipcCommandName(cmd);
    }
    for (auto cmd : {IPCCommand::status, IPCCommand::stop, IPCCommand::listPatterns, IPCCommand::ping}) {
        EXPECT_EQ(dispatch(app, {.cmd = cmd}).warning, std::nullopt) << ipcCommandName(cmd);
    }
}

TEST(IPCDispatch, AutowatchTogglesOnlyWhenTheWantedStateDiffers) {
    FakeApplication app;
    EXPECT_EQ(dispatch(app, {.cmd = IPCCommand::autowatch}).mode, "Auto Mode");
    EXPECT_EQ(dispatch(app, {.cmd = IPCCommand::autowatch}).mode, "Awake Off");
    app.mode = "Auto Mode";
    EXPECT_EQ(dispatch(app, {.cmd = IPCCommand::autowatch, .enable = true}).mode, "Auto Mode");
    app.mode = "Timer Active";
    EXPECT_EQ(dispatch(app, {.cmd = IPCCommand::autowatch, .enable = false}).mode, "Timer Active");
    EXPECT_EQ(app.toggles, 2);
}

TEST(IPCDispatch, WatchAppendsNewPatternsOnceAndUnwatchRemoves) {
    FakeApplication app;
    EXPECT_EQ(dispatch(app, {.cmd = IPCCommand::watch, .patterns = Strings{"a", "a", "b"}}).patterns, (Strings{"a", "b"}));
    EXPECT_EQ(dispatch(app, {.cmd = IPCCommand::watch}).patterns, (Strings{"a", "b"}));
    EXPECT_EQ(dispatch(app, {.cmd = IPCCommand::watch, .patterns = Strings{"A", "b"}}).patterns, (Strings{"a", "b", "A"}));
    EXPECT_EQ(dispatch(app, {.cmd = IPCCommand::unwatch, .patterns = Strings{"a", "zzz"}}).patterns, (Strings{"b", "A"}));
    EXPECT_EQ(dispatch(app, {.cmd = IPCCommand::listPatterns}).patterns, (Strings{"b", "A"}));
    EXPECT_EQ(dispatch(app, {.cmd = IPCCommand::unwatch, .patterns = Strings{" b\n"}}).patterns, (Strings{"A"}));

    // The settings refuse a list over their limits: the reply says why.
    app.refusal = "a watch pattern is longer than 256 bytes";
    const auto refused = dispatch(app, {.cmd = IPCCommand::watch, .patterns = Strings{"c"}});
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.message, "bad request: a watch pattern is longer than 256 bytes");
    EXPECT_FALSE(refused.patterns);
    EXPECT_EQ(app.patterns, (Strings{"A"}));
}

TEST(IPCDispatch, TimerDefaultsToAnHourAndIsAtLeastOneSecond) {
    FakeApplication app;
    dispatch(app, {.cmd = IPCCommand::timer, .seconds = 0});
    EXPECT_EQ(app.timerSeconds, 1);
    dispatch(app, {.cmd = IPCCommand::timer, .seconds = -20});
    EXPECT_EQ(app.timerSeconds, 1);
    EXPECT_EQ(dispatch(app, {.cmd = IPCCommand::timer}).mode, "Timer Active");
    EXPECT_EQ(app.timerSeconds, 3600);
}

TEST(IPCDispatch, NotifyDefaultsAndRepliesWithOkOnly) {
    FakeApplication app;
    EXPECT_EQ(dispatch(app, {.cmd = IPCCommand::notify}), IPCResponse{.ok = true});
    EXPECT_EQ(app.notified, (Strings{"Vigilo", ""}));
}

TEST(IPCDispatch, TheInstanceTellsItsRoleAndOnlyTheTrayShowsItsStatusWindow) {
    FakeApplication app;
    const IPCInstance headless;
    EXPECT_EQ(encodeResponse(dispatchIPCRequest({.cmd = IPCCommand::role}, app, headless)),
              R"({"ok":true,"role":"headless"})");
    EXPECT_EQ(dispatchIPCRequest({.cmd = IPCCommand::showStatus}, app, headless),
              (IPCResponse{.ok = false, .message = "no status window: Vigilo runs headless"}));

    int shown = 0, handedOver = 0;
    const HandOverState running{.mode = HandOverState::Mode::on, .closedLid = true};
    const IPCInstance tray{.role = "tray", .showStatus = [&] { ++shown; }, .handOver = [&] {
                               ++handedOver;
                               return running;
                           }};
    EXPECT_EQ(dispatchIPCRequest({.cmd = IPCCommand::role}, app, tray).role, "tray");
    EXPECT_TRUE(dispatchIPCRequest({.cmd = IPCCommand::showStatus}, app, tray).ok);
    EXPECT_EQ(dispatchIPCRequest({.cmd = IPCCommand::handOver}, app, tray), (IPCResponse{.ok = true, .resume = running}));
    EXPECT_EQ(std::pair(shown, handedOver), std::pair(1, 1));
}

// `vigilo why` reads the services itself and asks only for the application's
// own rows, which must not wait on a read of the services.
TEST(IPCDispatch, WhyAnswersTheWholeListOrOnlyTheApplicationsOwnRows) {
    FakeApplication app;
    int reads = 0;
    const std::vector<InhibitorEntry> own{{.what = {"sleep"}, .who = "Vigilo", .why = "Keep Awake"}};
    const IPCInstance tray{.inhibitors = [&] {
                               ++reads;
                               return std::vector<InhibitorEntry>{};
                           },
                           .ownInhibitors = [&] { return own; }};
    EXPECT_EQ(dispatchIPCRequest({.cmd = IPCCommand::why, .own = true}, app, tray).inhibitors, own);
    EXPECT_EQ(reads, 0);
    EXPECT_EQ(dispatchIPCRequest({.cmd = IPCCommand::why}, app, tray).inhibitors, std::vector<InhibitorEntry>{});
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(decodeRequest(R"({"cmd":"why","own":true})"), (Decoded<IPCRequest>{IPCRequest{.cmd = IPCCommand::why,
                                                                                          .own = true}}));
}

}  // namespace
}  // namespace vigilo
