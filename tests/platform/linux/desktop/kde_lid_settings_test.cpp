#include "platform/linux/desktop/kde_lid_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/log_capture.h"
#include "common/temp_dir.h"

namespace vigilo {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

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

TEST(KdeLidSettings, SetsEveryProfileToDoNothingAndRestoresTheSameBytes) {
    testing::TempDir config;
    const auto plasma6 = config.write("powerdevilrc", kPlasma6);
    // Kept elsewhere and linked in, as dotfiles often are: the link stays.
    const auto plasma5 = config.write("dotfiles/powermanagementprofilesrc", kPlasma5);
    fs::create_symlink(plasma5, config / "powermanagementprofilesrc");
    KdeLidSettings settings(config.path());

    json saved;
    auto record = settings.setDoNothing([&](const json& previous) {
        EXPECT_EQ(testing::readFile(plasma6), kPlasma6) << "the record is kept before any change";
        saved = previous;
        return true;
    });
    ASSERT_TRUE(record);
    EXPECT_EQ(*record, saved);
    const json expected = {{"edits",
                            {{{"file", "powerdevilrc"}, {"group", "[AC][SuspendAndShutdown]"}, {"key", "LidAction"},
                              {"previous", "1"}},
                             {{"file", "powerdevilrc"}, {"group", "[LowBattery][SuspendAndShutdown]"},
                              {"key", "LidAction"}, {"previous", nullptr}},
                             {{"file", "powermanagementprofilesrc"}, {"group", "[AC][HandleButtonEvents]"},
                              {"key", "lidAction"}, {"previous", "1"}}}}};
    EXPECT_EQ(*record, expected) << record->dump();
    EXPECT_EQ(testing::readFile(plasma6),
              "[AC][SuspendAndShutdown]\nLidAction=0\n\n[Battery][SuspendAndShutdown]\nLidAction=0\n\n"
              "[BatteryManagement]\nBatteryLowLevel=15\n\n[LowBattery][SuspendAndShutdown]\nLidAction=0\n");
    EXPECT_EQ(testing::readFile(plasma5),
              "[AC][HandleButtonEvents]\nlidAction=0\npowerButtonAction=16\n\n[Battery][DimDisplay]\nidleTime=120000\n")
        << "a profile without button handling is left without it";
    EXPECT_TRUE(fs::is_symlink(config / "powermanagementprofilesrc"));

    // As the caller keeps it: on disk, read back at the next launch.
    const json reread = json::parse(record->dump());
    const auto restored = settings.restore(reread);
    EXPECT_TRUE(restored.ok && restored.changed);
    EXPECT_EQ(testing::readFile(plasma6), kPlasma6);
    EXPECT_EQ(testing::readFile(plasma5), kPlasma5);
    const auto again = settings.restore(reread);
    EXPECT_TRUE(again.ok);
    EXPECT_FALSE(again.changed) << "restoring twice is harmless";
}

TEST(KdeLidSettings, AFileOnlyThisMadeIsGoneAfterTheRestore) {
    testing::TempDir config;
    KdeLidSettings settings(config.path());
    json saved;
    auto record = settings.setDoNothing(keepIn(saved));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->at("edits").size(), 3u);
    EXPECT_TRUE(fs::exists(config / "powerdevilrc"));
    EXPECT_FALSE(fs::exists(config / "powermanagementprofilesrc"));
    EXPECT_TRUE(settings.restore(*record).ok);
    EXPECT_FALSE(fs::exists(config / "powerdevilrc"));
}

TEST(KdeLidSettings, ARecordThatCannotBeSavedChangesNothing) {
    testing::TempDir config;
    const auto plasma6 = config.write("powerdevilrc", kPlasma6);
    testing::LogCapture log;
    KdeLidSettings settings(config.path());
    EXPECT_FALSE(settings.setDoNothing([](const json&) { return false; }));
    EXPECT_EQ(testing::readFile(plasma6), kPlasma6);
    EXPECT_TRUE(log.contains("Clamshell: error: KDE lid action not changed: its previous values could not be saved"));
}

TEST(KdeLidSettings, AValueTheUserChangedSinceIsLeftAlone) {
    testing::TempDir config;
    config.write("powerdevilrc", kPlasma6);
    KdeLidSettings settings(config.path());
    json saved;
    auto record = settings.setDoNothing(keepIn(saved));
    ASSERT_TRUE(record);
    const auto mine = config.write("powerdevilrc", "[AC][SuspendAndShutdown]\nLidAction=32\n");
    testing::LogCapture log;
    EXPECT_TRUE(settings.restore(*record).ok);
    EXPECT_EQ(testing::readFile(mine), "[AC][SuspendAndShutdown]\nLidAction=32\n");
    EXPECT_TRUE(log.contains("Clamshell: KDE lid action powerdevilrc [AC][SuspendAndShutdown] was changed since; "
                             "left as it is"));
}

TEST(KdeLidSettings, ACorruptFileIsLeftAloneAndLogged) {
    static const char kJunk[] = "[AC][SuspendAndShutdown]\nLidAction=1\n\0\xff\xfe";
    const json record = {{"edits",
                          {{{"file", "powerdevilrc"}, {"group", "[AC][SuspendAndShutdown]"}, {"key", "LidAction"},
                            {"previous", "1"}}}}};
    const struct {
        const char* name;
        std::string contents;  // empty: a folder in its place
    } cases[] = {
        {"binary junk", std::string(kJunk, sizeof kJunk - 1)},
        {"huge", std::string(KdeLidSettings::kMaxFileBytes + 1, '#')},
        {"a folder", ""},
    };
    for (const auto& c : cases) {
        testing::TempDir config;
        const auto path = config / "powerdevilrc";
        if (c.contents.empty())
            fs::create_directories(path / "inside");
        else
            config.write("powerdevilrc", c.contents);
        testing::LogCapture log;
        KdeLidSettings settings(config.path());
        json saved;
        const auto changed = settings.setDoNothing(keepIn(saved));
        EXPECT_TRUE(changed && changed->at("edits").empty()) << c.name << ": the other file could be read";
        EXPECT_FALSE(settings.restore(record).ok) << c.name;
        EXPECT_TRUE(loggedStartingWith(log, "Clamshell: error: KDE lid settings left alone: " + path.string() + ": "))
            << c.name;
        if (c.contents.empty())
            EXPECT_TRUE(fs::is_directory(path / "inside")) << c.name;
        else
            EXPECT_EQ(testing::readFile(path), c.contents) << c.name;
    }
}

TEST(KdeLidSettings, AMalformedRecordIsRefusedAndChangesNothing) {
    testing::TempDir config;
    const auto plasma6 = config.write("powerdevilrc", "[AC][SuspendAndShutdown]\nLidAction=0\n");
    KdeLidSettings settings(config.path());
    const json edit = {{"file", "powerdevilrc"}, {"group", "[AC][SuspendAndShutdown]"}, {"key", "LidAction"}};
    auto with = [&](const char* field, json value) {
        json changed = edit;
        changed["previous"] = "1";
        changed[field] = std::move(value);
        return json{{"edits", json::array({changed})}};
    };
    const json records[] = {
        42,
        json::object(),
        {{"edits", "all"}},
        {{"edits", json::array({edit})}},  // no "previous"
        with("file", "../../.bashrc"),
        with("group", "[General]"),
        with("key", "PowerButtonAction"),
        with("previous", 1),
        with("previous", "1\n[General]\nx=1"),
    };
    for (const auto& record : records) {
        testing::LogCapture log;
        EXPECT_FALSE(settings.restore(record).ok) << record.dump();
        EXPECT_TRUE(log.contains("Clamshell: error: KDE lid settings to restore are malformed; nothing restored"));
        EXPECT_EQ(testing::readFile(plasma6), "[AC][SuspendAndShutdown]\nLidAction=0\n") << record.dump();
    }
}

}  // namespace
}  // namespace vigilo
