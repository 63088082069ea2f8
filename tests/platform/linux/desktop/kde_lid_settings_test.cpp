#include "platform/linux/desktop/kde_lid_settings.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "common/log_capture.h"
#include "common/temp_dir.h"
#include "platform/linux/desktop/ini_text.h"
#include "platform/linux/desktop/kde_config_file.h"

namespace vigilo {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

constexpr const char* kPlasma6File = "powerdevilrc";
constexpr const char* kPlasma5File = "powermanagementprofilesrc";

const std::string kPlasma6 =
    "[AC][SuspendAndShutdown]\nLidAction=1\n\n[Battery][SuspendAndShutdown]\nLidAction=0\n\n"
    "[BatteryManagement]\nBatteryLowLevel=15\n";
const std::string kPlasma5 =
    "[AC][HandleButtonEvents]\nlidAction=1\npowerButtonAction=16\n\n[Battery][DimDisplay]\nidleTime=120000\n";

KdeLidSettings::SaveFirst keepIn(json& kept) {
    return [&kept](const json& record) {
        kept = record;
        return true;
    };
}

bool loggedStartingWith(const testing::LogCapture& log, const std::string& prefix) {
    for (const auto& line : log.lines())
        if (line.starts_with(prefix)) return true;
    return false;
}

// What a restore must give back: what is at the path (nothing, a file, a
// link and where it points), its mode and its bytes.
std::string snapshot(const fs::path& path) {
    std::error_code error;
    std::string result;
    if (fs::is_symlink(path, error)) result = "link to " + fs::read_symlink(path, error).string() + ", ";
    if (!fs::exists(path, error)) return result + "nothing";
    const auto mode = static_cast<unsigned>(fs::status(path, error).permissions());
    return result + fmt::format("mode {:o}: ", mode) + testing::readFile(path).value_or("(unreadable)");
}

// Every lid entry KDE would read says "do nothing".
bool everyLidActionIsDoNothing(const fs::path& config) {
    for (const auto& entry : kKdeLidEntries) {
        const auto text = testing::readFile(config / entry.file);
        IniText ini(text.value_or(""));
        if (!entry.addGroup && !ini.hasGroup(entry.group)) continue;
        const auto lines = ini.lines(entry.group, entry.key);
        if (lines.empty()) return false;
        for (const auto& line : lines)
            if (iniValueOf(line) != KdeLidSettings::kDoNothing) return false;
    }
    return true;
}

// Read-only for everyone, the owner too: root's tests must see it refused as well.
void makeReadOnly(const fs::path& path, bool readOnly) {
    const auto readable = fs::is_directory(path) ? fs::perms::owner_read | fs::perms::owner_exec |
                                                       fs::perms::group_read | fs::perms::group_exec |
                                                       fs::perms::others_read | fs::perms::others_exec
                                                 : fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    fs::permissions(path, readOnly ? readable : readable | fs::perms::owner_write);
}

struct OnOffCase {
    const char* name;
    std::optional<std::string> plasma6, plasma5;  // nullopt: no such file
    // Links and modes, after the files are written.
    void (*prepare)(const fs::path& config) = nullptr;
    // nullptr: the lid action is switched; else why it is not.
    const char* refusal = nullptr;
    // Whether powerdevilrc is made read-only between on and off, so that
    // the first restore can give back only the other file.
    bool plasma6ReadOnlyAtFirstRestore = false;
};

// Switching the mode on and off gives back each file as it was, byte for
// byte, link and mode included; where that cannot be promised, nothing is
// touched at all and the log says the mode is not available on KDE.
TEST(KdeLidSettings, SwitchingOnAndOffGivesBackEveryFileByteForByte) {
    const OnOffCase cases[] = {
        {"both Plasmas' files", kPlasma6, kPlasma5},
        {"no final line break", "[General]\npausePlayersOnSuspend=false",
         "[AC][HandleButtonEvents]\nlidAction=1"},
        {"repeated keys and a group written twice",
         "[AC][SuspendAndShutdown]\nLidAction=1\nLidAction = 32\n\n[AC][SuspendAndShutdown]\nLidAction=2\n",
         "[AC][HandleButtonEvents]\nlidAction=1\nlidAction=0\nlidAction=2\n"},
        {"empty group headers",
         "[AC][SuspendAndShutdown]\n\n[Battery][SuspendAndShutdown]\n[LowBattery][SuspendAndShutdown]\nLidAction=1\n",
         "[Battery][HandleButtonEvents]\n"},
        {"a 300-byte value", "[AC][SuspendAndShutdown]\nLidAction=" + std::string(300, '7') + "\n",
         "[AC][HandleButtonEvents]\nlidAction= " + std::string(300, 'x') + " \n"},
        {"values with carriage returns", "[AC][SuspendAndShutdown]\r\nLidAction=1\r\n\r\n",
         "[AC][HandleButtonEvents]\nlidAction=1\r2\n"},
        {"blank lines at the end", "[General]\nx=1\n\n\n", "\n"},
        {"no files yet", std::nullopt, std::nullopt},
        {"empty files", "", ""},
        {"files kept elsewhere and linked in", std::nullopt, std::nullopt,
         [](const fs::path& config) {
             fs::create_directories(config / "dotfiles");
             std::ofstream(config / "dotfiles/powerdevilrc") << kPlasma6;
             std::ofstream(config / "dotfiles/powermanagementprofilesrc") << kPlasma5;
             fs::create_symlink("dotfiles/powerdevilrc", config / kPlasma6File);
             fs::create_symlink(config / "dotfiles/powermanagementprofilesrc", config / kPlasma5File);
         }},
        {"a dangling link", std::nullopt, kPlasma5,
         [](const fs::path& config) { fs::create_symlink("dotfiles/powerdevilrc", config / kPlasma6File); },
         "is a link to a missing file"},
        {"a read-only file", kPlasma6, kPlasma5,
         [](const fs::path& config) { makeReadOnly(config / kPlasma6File, true); }, "cannot be written by this user"},
        {"a folder the user cannot write", std::nullopt, std::nullopt,
         [](const fs::path& config) { makeReadOnly(config, true); }, "is in a folder this user cannot write"},
        {"one file cannot be given back at first, the other is", kPlasma6, kPlasma5, nullptr, nullptr, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TempDir config;
        const fs::path plasma6 = config / kPlasma6File, plasma5 = config / kPlasma5File;
        if (c.plasma6) config.write(kPlasma6File, *c.plasma6);
        if (c.plasma5) config.write(kPlasma5File, *c.plasma5);
        if (c.prepare) c.prepare(config.path());
        const std::string before6 = snapshot(plasma6), before5 = snapshot(plasma5);

        testing::LogCapture log;
        KdeLidSettings settings(config.path());
        json saved;
        const auto record = settings.setDoNothing(keepIn(saved));
        if (c.refusal) {
            EXPECT_FALSE(record);
            // Only powerdevilrc needs a change in these: Plasma 5's file is left to itself.
            EXPECT_TRUE(log.contains(fmt::format(
                "Clamshell: error: Closed-lid mode is not available on KDE: {} {}; KDE lid settings left alone",
                plasma6.string(), c.refusal)));
            EXPECT_EQ(snapshot(plasma6), before6);
            EXPECT_EQ(snapshot(plasma5), before5);
            continue;
        }
        ASSERT_TRUE(record);
        EXPECT_EQ(*record, saved);
        EXPECT_TRUE(everyLidActionIsDoNothing(config.path()));

        // As the caller keeps it: on disk, read back at the next launch.
        const json kept = json::parse(record->dump());
        if (c.plasma6ReadOnlyAtFirstRestore) {
            const std::string on6 = testing::readFile(plasma6).value_or("");
            makeReadOnly(plasma6, true);
            const auto first = settings.restore(kept);
            EXPECT_FALSE(first.ok);
            EXPECT_TRUE(first.changed);
            EXPECT_EQ(testing::readFile(plasma6), on6) << "a read-only file is never rewritten";
            EXPECT_EQ(snapshot(plasma5), before5);
            makeReadOnly(plasma6, false);
        }
        const auto restored = settings.restore(kept);
        EXPECT_TRUE(restored.ok);
        EXPECT_EQ(snapshot(plasma6), before6);
        EXPECT_EQ(snapshot(plasma5), before5);
        EXPECT_FALSE(loggedStartingWith(log, "Clamshell: KDE lid action ")) << "nothing was changed since";
        const auto again = settings.restore(kept);
        EXPECT_TRUE(again.ok);
        EXPECT_FALSE(again.changed) << "restoring twice is harmless";
    }
}

TEST(KdeLidSettings, ARecordThatCannotBeSavedChangesNothing) {
    testing::TempDir config;
    const auto plasma6 = config.write(kPlasma6File, kPlasma6);
    testing::LogCapture log;
    KdeLidSettings settings(config.path());
    EXPECT_FALSE(settings.setDoNothing([](const json&) { return false; }));
    EXPECT_EQ(testing::readFile(plasma6), kPlasma6);
    EXPECT_TRUE(log.contains("Clamshell: error: KDE lid action not changed: its previous values could not be saved"));
}

// Between on and off the files may change under us: what the user set wins,
// and ours is given back where it is still ours.
TEST(KdeLidSettings, WhatChangedSinceSwitchingOnIsRespected) {
    const std::string repeated = "[AC][SuspendAndShutdown]\nLidAction=1\nLidAction=2\n";
    const struct {
        const char* name;
        std::string before;
        std::string since;  // powerdevilrc as it is at the restore
        std::string after;  // and after it; empty: as `since`
        bool ok;
        const char* logged;
    } cases[] = {
        {"the user chose another action", "[AC][SuspendAndShutdown]\nLidAction=1\n",
         "[AC][SuspendAndShutdown]\nLidAction=32\n", "", true,
         "Clamshell: KDE lid action powerdevilrc [AC][SuspendAndShutdown] was changed since; left as it is"},
        {"KDE rewrote the file with one copy of the key", repeated,
         "[AC][SuspendAndShutdown]\nLidAction=0\n\n[Battery][SuspendAndShutdown]\nLidAction=0\n\n"
         "[LowBattery][SuspendAndShutdown]\nLidAction=0\n",
         "[AC][SuspendAndShutdown]\nLidAction=2\n", true, nullptr},
        {"the file became a link to a missing file", repeated, "", "", false,
         "Clamshell: error: KDE lid settings not restored yet: {} is a link to a missing file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TempDir config;
        const auto plasma6 = config.write(kPlasma6File, c.before);
        KdeLidSettings settings(config.path());
        json saved;
        const auto record = settings.setDoNothing(keepIn(saved));
        ASSERT_TRUE(record);
        if (c.since.empty()) {
            fs::remove(plasma6);
            fs::create_symlink("elsewhere/powerdevilrc", plasma6);
        } else {
            config.write(kPlasma6File, c.since);
        }
        const std::string since = snapshot(plasma6);
        testing::LogCapture log;
        EXPECT_EQ(settings.restore(*record).ok, c.ok);
        if (c.after.empty()) {
            EXPECT_EQ(snapshot(plasma6), since);
        } else {
            EXPECT_EQ(testing::readFile(plasma6), c.after);
        }
        if (c.logged) {
            EXPECT_TRUE(log.contains(fmt::format(fmt::runtime(c.logged), plasma6.string())));
        }
    }
}

TEST(KdeLidSettings, ACorruptFileIsLeftAloneAndLogged) {
    static const char kJunk[] = "[AC][SuspendAndShutdown]\nLidAction=1\n\0\xff\xfe";
    const json record = {{"edits",
                          {{{"file", kPlasma6File}, {"group", "[AC][SuspendAndShutdown]"}, {"key", "LidAction"},
                            {"previous", "1"}}}}};
    const struct {
        const char* name;
        std::string contents;  // empty: a folder in its place
    } cases[] = {
        {"binary junk", std::string(kJunk, sizeof kJunk - 1)},
        {"huge", std::string(kMaxKdeConfigBytes + 1, '#')},
        {"a folder", ""},
    };
    for (const auto& c : cases) {
        testing::TempDir config;
        const auto path = config / kPlasma6File;
        if (c.contents.empty())
            fs::create_directories(path / "inside");
        else
            config.write(kPlasma6File, c.contents);
        testing::LogCapture log;
        KdeLidSettings settings(config.path());
        json saved;
        const auto changed = settings.setDoNothing(keepIn(saved));
        EXPECT_TRUE(changed && kdeLidRecordIsEmpty(*changed)) << c.name << ": the other file could be read";
        EXPECT_FALSE(settings.restore(record).ok) << c.name;
        EXPECT_TRUE(loggedStartingWith(log, "Clamshell: error: KDE lid settings left alone: " + path.string() + ": "))
            << c.name;
        if (c.contents.empty()) {
            EXPECT_TRUE(fs::is_directory(path / "inside")) << c.name;
        } else {
            EXPECT_EQ(testing::readFile(path), c.contents) << c.name;
        }
    }
}

// Records as the previous version wrote them, kept in restore.json across
// an update: each value goes back, a long one or one with a carriage return
// too, and the group it added goes.
TEST(KdeLidSettings, RecordsOfThePreviousVersionAreGivenBack) {
    auto edit = [](const char* group, json previous) {
        return json{{"file", kPlasma6File}, {"group", group}, {"key", "LidAction"}, {"previous", std::move(previous)}};
    };
    const std::string longValue(300, '7');
    const struct {
        const char* name;
        json edits;
        std::string on;
        std::string back;
    } cases[] = {
        {"a value", {edit("[AC][SuspendAndShutdown]", "1")}, "[AC][SuspendAndShutdown]\nLidAction=0\n",
         "[AC][SuspendAndShutdown]\nLidAction=1\n"},
        {"a 300-byte value", {edit("[AC][SuspendAndShutdown]", longValue)}, "[AC][SuspendAndShutdown]\nLidAction=0\n",
         "[AC][SuspendAndShutdown]\nLidAction=" + longValue + "\n"},
        {"a value with a carriage return", {edit("[AC][SuspendAndShutdown]", "1\r2")},
         "[AC][SuspendAndShutdown]\r\nLidAction=0\r\n", "[AC][SuspendAndShutdown]\r\nLidAction=1\r2\r\n"},
        {"an added group", {edit("[AC][SuspendAndShutdown]", "1"), edit("[LowBattery][SuspendAndShutdown]", nullptr)},
         "[AC][SuspendAndShutdown]\nLidAction=0\n\n[LowBattery][SuspendAndShutdown]\nLidAction=0\n",
         "[AC][SuspendAndShutdown]\nLidAction=1\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TempDir config;
        const auto plasma6 = config.write(kPlasma6File, c.on);
        KdeLidSettings settings(config.path());
        const json record = {{"edits", c.edits}};
        EXPECT_FALSE(kdeLidRecordIsEmpty(record));
        const auto restored = settings.restore(record);
        EXPECT_TRUE(restored.ok && restored.changed);
        EXPECT_EQ(testing::readFile(plasma6), c.back);
    }
    EXPECT_TRUE(kdeLidRecordIsEmpty({{"edits", json::array()}}));
}

// The record comes from disk: a change that would write anywhere but a lid
// entry is left out, and the others are still given back.
TEST(KdeLidSettings, AMalformedChangeIsLeftOutAndTheOthersGiveBack) {
    const std::string on = "[AC][SuspendAndShutdown]\nLidAction=0\n\n[Battery][SuspendAndShutdown]\nLidAction=0\n";
    const std::string back = "[AC][SuspendAndShutdown]\nLidAction=1\n\n[Battery][SuspendAndShutdown]\nLidAction=0\n";
    const json good = {{"group", "[AC][SuspendAndShutdown]"}, {"key", "LidAction"}, {"lines", {"LidAction=1"}}};
    const json battery = {{"group", "[Battery][SuspendAndShutdown]"}, {"key", "LidAction"}, {"lines", {"LidAction=1"}}};
    auto with = [&](const char* field, json value) {
        json changed = battery;
        changed[field] = std::move(value);
        return json{{"files", {{{"file", kPlasma6File}, {"existed", true}, {"changes", {good, changed}}}}}};
    };
    auto fileWith = [&](const char* field, json value) {
        json file = {{"file", kPlasma6File}, {"existed", true}, {"changes", {battery}}};
        file[field] = std::move(value);
        return json{{"files", {{{"file", kPlasma6File}, {"existed", true}, {"changes", {good}}}, file}}};
    };
    auto previousWith = [](const char* field, json value) {
        json edit = {{"file", kPlasma6File}, {"group", "[Battery][SuspendAndShutdown]"}, {"key", "LidAction"},
                     {"previous", "1"}};
        edit[field] = std::move(value);
        return json{{"edits",
                     {{{"file", kPlasma6File}, {"group", "[AC][SuspendAndShutdown]"}, {"key", "LidAction"},
                       {"previous", "1"}},
                      edit}}};
    };
    const json records[] = {
        with("group", "[General]"),
        with("key", "PowerButtonAction"),
        with("lines", "LidAction=1"),
        with("lines", {"LidAction=1", "[General]"}),
        with("lines", {"LidAction=1\n[General]\nx=1"}),
        with("lines", {"PowerButtonAction=1"}),
        with("lines", {1}),
        with("addedGroup", "yes"),
        fileWith("file", "../../.bashrc"),
        fileWith("existed", "yes"),
        fileWith("finalNewline", 1),
        fileWith("changes", battery),
        previousWith("file", "../../.bashrc"),
        previousWith("group", "[General]"),
        previousWith("previous", 1),
        previousWith("previous", "1\n[General]\nx=1"),
    };
    for (const auto& record : records) {
        SCOPED_TRACE(record.dump());
        testing::TempDir config;
        const auto plasma6 = config.write(kPlasma6File, on);
        testing::LogCapture log;
        KdeLidSettings settings(config.path());
        EXPECT_FALSE(settings.restore(record).ok);
        EXPECT_TRUE(log.contains("Clamshell: error: 1 KDE lid settings to restore are malformed; left out"));
        EXPECT_EQ(testing::readFile(plasma6), back);
    }

    for (const json& record : {json(42), json::object(), json{{"edits", "all"}}, json{{"files", json::object()}}}) {
        testing::TempDir config;
        const auto plasma6 = config.write(kPlasma6File, on);
        testing::LogCapture log;
        EXPECT_FALSE(KdeLidSettings(config.path()).restore(record).ok) << record.dump();
        EXPECT_TRUE(log.contains("Clamshell: error: KDE lid settings to restore are malformed; nothing restored"));
        EXPECT_EQ(testing::readFile(plasma6), on);
    }
}

}  // namespace
}  // namespace vigilo
