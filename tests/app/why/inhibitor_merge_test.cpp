#include "app/why/inhibitor_merge.h"

#include <gtest/gtest.h>

#include "app/why/inhibitor_table.h"

namespace vigilo {
namespace {

constexpr std::uint32_t kUser = 1000;
constexpr std::uint32_t kOther = 1001;

LogindLock logind(std::string what, std::string who, std::string why, std::string mode, std::uint32_t pid,
                  HolderProcess holder = {}) {
    return {.what = std::move(what), .who = std::move(who), .why = std::move(why), .mode = std::move(mode),
            .uid = kUser, .pid = pid, .holder = std::move(holder)};
}

HolderProcess inhibitRunning(std::int32_t childPid, std::uint32_t owner, std::string commandLine) {
    return {.name = "systemd-inhibit", .owner = owner,
            .child = HolderProcess::Child{.pid = childPid, .owner = owner, .commandLine = std::move(commandLine)}};
}

// One row as `vigilo why` prints it, with its JSON-only fields.
struct Row {
    std::string what;
    std::string who;
    std::string why;
    std::string process;
    std::string source;
    std::string mode = "block";
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << '{' << row.what << " | " << row.who << " | " << row.why << " | " << row.process << " | "
               << row.source << " | " << row.mode << '}';
}

std::vector<Row> rows(const std::vector<InhibitorEntry>& entries) {
    std::vector<Row> out;
    for (const auto& entry : entries) {
        std::string what;
        for (const auto& kind : entry.what) what += (what.empty() ? "" : ",") + kind;
        out.push_back({what, entry.who, entry.why, inhibitorProcessText(entry), originName(entry.origin), entry.mode});
    }
    return out;
}

const std::vector<InhibitorEntry> kApplicationRows = ownInhibitorRows(
    {.reason = "Auto Mode \u2014 claude", .pid = 880, .uid = kUser, .command = "vigilo-app"});

TEST(MergeInhibitors, FollowsTheRulesForEverySourceAndOrdersSleepIdleLidThenOurs) {
    const struct Case {
        const char* name;
        InhibitorSnapshot snapshot;
        InhibitorMergeOptions options;
        std::vector<Row> expected;
    } cases[] = {
        {"nothing read, nothing listed", {}, {}, {}},
        {"systemd-inhibit shows the user's own command; another user's shows its holder",
         {.logind = std::vector<LogindLock>{
              logind("sleep", "backup", "Nightly backup", "block", 4120, inhibitRunning(4121, kUser, "rsync -a /home")),
              logind("sleep", "root job", "Theirs", "block", 50, inhibitRunning(51, kOther, "secret --token x")),
              logind("sleep", "gone", "Exited", "block", 77)}},
         {.userUid = kUser},
         {{"sleep", "backup", "Nightly backup", "rsync -a /home (pid 4121)", "logind"},
          {"sleep", "root job", "Theirs", "systemd-inhibit (pid 50)", "logind"},
          {"sleep", "gone", "Exited", "(pid 77)", "logind"}}},
        {"sleep first, then idle, then lid and power keys, then the rest; a lock sorts by its first kind",
         {.logind = std::vector<LogindLock>{
              logind("shutdown", "upd", "Updating", "block", 1, {.name = "upd"}),
              logind("handle-lid-switch", "dock", "Docked", "block", 2, {.name = "dockd"}),
              logind("idle", "player", "Video", "block", 3, {.name = "mpv"}),
              logind("handle-power-key:idle:sleep", "kiosk", "Kiosk", "block", 4, {.name = "kiosk"})}},
         {.userUid = kUser},
         {{"handle-power-key,idle,sleep", "kiosk", "Kiosk", "kiosk (pid 4)", "logind"},
          {"idle", "player", "Video", "mpv (pid 3)", "logind"},
          {"handle-lid-switch", "dock", "Docked", "dockd (pid 2)", "logind"},
          {"shutdown", "upd", "Updating", "upd (pid 1)", "logind"}}},
        {"delay locks only with --all",
         {.logind = std::vector<LogindLock>{logind("sleep", "NetworkManager", "Disconnect first", "delay", 9),
                                            logind("sleep", "weak", "Weak", "block-weak", 8)}},
         {.userUid = kUser},
         {{"sleep", "weak", "Weak", "(pid 8)", "logind", "block-weak"}}},
        {"--all",
         {.logind = std::vector<LogindLock>{logind("sleep", "NetworkManager", "Disconnect first", "delay", 9)}},
         {.includeDelay = true, .userUid = kUser},
         {{"sleep", "NetworkManager", "Disconnect first", "(pid 9)", "logind", "delay"}}},
        {"gnome-session's folded row gives way to GNOME's list; mutter's idle lock is a Wayland window",
         {.logind = std::vector<LogindLock>{logind("sleep", "alice", "user session inhibited", "block", 5,
                                                   {.name = "gnome-session-b"})},
          .gnome = std::vector<GnomeLock>{{"firefox", "Playing video", 8},
                                          {"mutter", "idle-inhibit", 8},
                                          {"org.gnome.Nautilus", "Copying files", 4 | 1},
                                          {"nothing", "No flags", 0}}},
         {.userUid = kUser},
         {{"sleep,logout", "org.gnome.Nautilus", "Copying files", "", "gnome"},
          {"idle", "firefox", "Playing video", "", "gnome"},
          {"idle", "Wayland window", "A full-screen or video window (Wayland)", "", "gnome"}}},
        {"without GNOME's list the folded row stays",
         {.logind = std::vector<LogindLock>{logind("sleep", "alice", "user session inhibited", "block", 5)}},
         {.userUid = kUser},
         {{"sleep", "alice", "user session inhibited", "(pid 5)", "logind"}}},
        {"KDE's three wire forms; its copy of a logind lock shown once, as logind's",
         {.logind = std::vector<LogindLock>{logind("sleep", "kate", "Saving", "block", 6, {.name = "kate"})},
          .kde = std::vector<KdeLock>{{.who = "kate", .why = "Saving"},
                                      {.who = "elisa", .why = "Playing music"},
                                      {.what = "idle", .who = "okular", .why = "Presenting", .mode = "block"},
                                      {.what = "Sleep:Idle", .who = "dolphin", .why = "Copying", .mode = ""}}},
         {.userUid = kUser},
         {{"sleep", "kate", "Saving", "kate (pid 6)", "logind"},
          {"sleep", "elisa", "Playing music", "", "kde"},
          {"sleep,idle", "dolphin", "Copying", "", "kde"},
          {"idle", "okular", "Presenting", "", "kde"}}},
        {"the application's locks in every service become its own rows, last",
         {.logind = std::vector<LogindLock>{logind("idle", "Vigilo", kVigiloKeepAwakeReason, "block", 880),
                                            logind("handle-lid-switch", "Vigilo", kVigiloClosedLidReason, "block", 880),
                                            logind("idle", "Vigilo", "renamed by a newer version", "block", 880),
                                            logind("idle", "player", "Video", "block", 3)},
          .gnome = std::vector<GnomeLock>{{"Vigilo", kVigiloKeepAwakeReason, 4}},
          .kde = std::vector<KdeLock>{{.who = "Vigilo", .why = kVigiloKeepAwakeReason}}},
         {.userUid = kUser, .ownRows = kApplicationRows, .applicationPid = 880},
         {{"idle", "player", "Video", "(pid 3)", "logind"},
          {"sleep", "Vigilo", "Auto Mode \u2014 claude", "vigilo-app (pid 880)", "vigilo"}}},
        {"without the application its locks still show as Vigilo's, one row per lock",
         {.logind = std::vector<LogindLock>{logind("idle", "Vigilo", kVigiloKeepAwakeReason, "block", 880,
                                                   {.name = "vigilo-app"}),
                                            logind("handle-lid-switch", "Vigilo", kVigiloClosedLidReason, "block", 880,
                                                   {.name = "vigilo-app"})},
          .gnome = std::vector<GnomeLock>{{"Vigilo", kVigiloKeepAwakeReason, 4}}},
         {.userUid = kUser},
         {{"sleep", "Vigilo", "Keep Awake", "vigilo-app (pid 880)", "vigilo"},
          {"sleep,handle-lid-switch", "Vigilo", "Closed-lid mode", "vigilo-app (pid 880)", "vigilo"}}},
        {"wrap mode's lock shows the command it runs, once for all services",
         {.logind = std::vector<LogindLock>{logind("idle", "Vigilo", "vigilo: make test", "block", 300,
                                                   {.name = "vigilo", .owner = kUser,
                                                    .child = HolderProcess::Child{301, kUser, "make test"}})},
          .gnome = std::vector<GnomeLock>{{"Vigilo", "vigilo: make test", 4}}},
         {.userUid = kUser, .ownRows = std::vector<InhibitorEntry>{}},
         {{"sleep", "Vigilo", "Running a command", "make test (pid 301)", "vigilo"}}},
        {"names with control characters and invalid UTF-8 stay readable",
         {.logind = std::vector<LogindLock>{logind("sleep", "bad\xff", "two\nlines\x1b[31m", "block", 7,
                                                   {.name = "x\ty"})}},
         {.userUid = kUser},
         {{"sleep", "bad\ufffd", "two\nlines\x1b[31m", "x y (pid 7)", "logind"}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rows(mergeInhibitors(c.snapshot, c.options)), c.expected) << c.name;
    }
}

TEST(InhibitorTable, AlignsColumnsShowsControlCharactersAsSpacesAndCutsAtTheTerminal) {
    InhibitorSnapshot snapshot{
        .logind = std::vector<LogindLock>{logind("sleep", "backup", "Nightly\tbackup", "block", 4120,
                                                 inhibitRunning(4121, kUser, "rsync -a /home /mnt/backup"))},
        .gnome = std::vector<GnomeLock>{{"firefox", "Playing video", 8}}};
    const auto entries = mergeInhibitors(snapshot, {.userUid = kUser, .ownRows = kApplicationRows});
    EXPECT_EQ(inhibitorTable(entries, std::nullopt),
              "Keeping this computer awake:\n"
              "  sleep   backup    Nightly backup       rsync -a /home /mnt/backup (pid 4121)   logind\n"
              "  idle    firefox   Playing video                                                GNOME\n"
              "  sleep   Vigilo    Auto Mode \u2014 claude   vigilo-app (pid 880)                    Vigilo\n");
    EXPECT_EQ(inhibitorTable(entries, 22),
              "Keeping this computer awake:\n  sleep   backup    Ni\n  idle    firefox   Pl\n  sleep   Vigilo    Au\n");
    EXPECT_EQ(inhibitorTable({}, 80), "Nothing keeps this computer awake.\n");

    const auto json = inhibitorsToJson(entries);
    EXPECT_EQ(json[0].dump(),
              R"({"what":["sleep"],"who":"backup","why":"Nightly\tbackup","mode":"block","source":"logind",)"
              R"("uid":1000,"pid":4121,"command":"rsync -a /home /mnt/backup"})");
    EXPECT_EQ(json[1].dump(),
              R"({"what":["idle"],"who":"firefox","why":"Playing video","mode":"block","source":"gnome",)"
              R"("uid":1000,"pid":null,"command":null})");
    auto withoutHints = entries;
    for (auto& entry : withoutHints) entry.endHint.clear();
    EXPECT_EQ(inhibitorsFromJson(nlohmann::json::parse(json.dump())), withoutHints);
    // Only the person's own systemd-inhibit and Vigilo's rows say how to end them.
    EXPECT_EQ(entries[0].endHint, "Ends when this command ends: quit it, or press Ctrl+C where it runs (pid 4121).");
    EXPECT_EQ(entries[1].endHint, "");
    EXPECT_EQ(entries[2].endHint, "Choose Stop in Vigilo's menu, or run vigilo stop.");
}

// The socket's reply stays within the 64 KiB a client reads: texts cut at a
// character, others' rows left out past the bound, never Vigilo's own.
TEST(BoundedInhibitors, KeepTheReplyWithinTheClientsReadAndVigilosRows) {
    std::vector<InhibitorEntry> entries(10000, InhibitorEntry{.what = {"sleep"}, .who = "w", .why = "y", .pid = 1});
    entries[0].why = std::string(300, 'x') + "\u00e9";
    entries[1].who = std::string(255, 'a') + "\u00e9";
    entries.push_back(kApplicationRows.front());
    const auto bounded = boundedInhibitors(entries);
    EXPECT_LT(inhibitorsToJson(bounded).dump().size(), kMaxInhibitorsBytes + 1024);
    EXPECT_GT(bounded.size(), 100u);
    EXPECT_EQ(bounded.back(), kApplicationRows.front());
    EXPECT_EQ(bounded[0].why, std::string(256, 'x'));
    EXPECT_EQ(bounded[1].who, std::string(255, 'a'));  // not half a character
}

TEST(AlsoKeepingAwake, NamesOthersBlockingSleepOrIdleAtMostThree) {
    auto entry = [](std::string who, std::vector<std::string> what, std::string mode = "block",
                    InhibitorOrigin origin = InhibitorOrigin::logind) {
        return InhibitorEntry{
            .what = std::move(what), .who = std::move(who), .mode = std::move(mode), .origin = origin};
    };
    const struct {
        std::vector<InhibitorEntry> entries;
        std::string names;
        bool blocksSleep;
    } cases[] = {
        {{}, "", false},
        {{entry("Vigilo", {"sleep"}, "block", InhibitorOrigin::vigilo)}, "", false},
        {{entry("Firefox", {"idle"}), entry("backup", {"sleep"}), entry("nm", {"sleep"}, "delay"),
          entry("dock", {"handle-lid-switch"})},
         "Firefox, backup", true},
        {{entry("a", {"sleep"}), entry("b", {"idle"}), entry("a", {"idle"}), entry("c", {"idle"}), entry("d", {"idle"}),
          entry("e", {"idle"})},
         "a, b, c and 2 more", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(alsoKeepingAwakeNames(c.entries), c.names);
        EXPECT_EQ(othersBlockSleep(c.entries), c.blocksSleep) << c.names;
    }
}

}  // namespace
}  // namespace vigilo
