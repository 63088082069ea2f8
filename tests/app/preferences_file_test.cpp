#include "app/preferences_file.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/app_settings.h"
#include "common/log_capture.h"
#include "common/temp_dir.h"
#include "detection/default_patterns.h"

namespace vigilo {
namespace {

using nlohmann::json;

class PreferencesBadInput : public ::testing::Test {
protected:
    void store(const std::string& contents) { dir.write("preferences.json", contents); }
    std::filesystem::path file() const { return dir / "preferences.json"; }
    std::filesystem::path bad() const { return dir / "preferences.json.bad"; }

    testing::LogCapture logs;
    testing::TempDir dir;
    SerialWriter writer;
};

TEST_F(PreferencesBadInput, CorruptFileIsKeptAsBadAndReplacedAtTheNextWrite) {
    const std::string garbage = "{\"pollInterval\": 9, oops";
    store(garbage);
    {
        AppSettings settings(dir.path(), writer);
        EXPECT_EQ(settings.pollInterval.get(), 3);
        EXPECT_FALSE(logs.lines().empty());
        writer.flush();
        // Reading alone leaves the user's file as it was.
        EXPECT_EQ(testing::readFile(file()), garbage);
        EXPECT_FALSE(std::filesystem::exists(bad()));

        settings.batteryThreshold.set(30);
        settings.batteryThreshold.set(35);  // the copy is made once
        writer.flush();
    }
    EXPECT_EQ(testing::readFile(bad()), garbage);
    EXPECT_EQ(json::parse(*testing::readFile(file())), json({{"batteryThreshold", 35}}));
    EXPECT_EQ(AppSettings(dir.path(), writer).batteryThreshold.get(), 35);
}

TEST_F(PreferencesBadInput, ThingsThatAreNotAPreferencesObjectReadAsDefaults) {
    const std::string deep = "{\"pollInterval\": 9, \"x\": " + std::string(100000, '[') + std::string(100000, ']') + "}";
    for (const std::string& contents : {std::string(""), std::string("[1, 2]"), std::string("42"),
                                        std::string("\"text\""), std::string("null"), std::string("{} {}"),
                                        std::string("\x00\x01\xFF", 3), deep}) {
        store(contents);
        AppSettings settings(dir.path(), writer);
        EXPECT_EQ(settings.pollInterval.get(), 3) << contents.substr(0, 20);
        settings.pollInterval.set(4);
        writer.flush();
        EXPECT_TRUE(testing::readFile(bad()) == contents) << contents.substr(0, 20);
        EXPECT_EQ(json::parse(*testing::readFile(file())), json({{"pollInterval", 4}}));
    }
}

TEST_F(PreferencesBadInput, BytesThatAreNotUtf8SpoilOnlyTheirOwnKey) {
    const std::string contents =
        "{\"ntfyTopic\": \"to\xFFpic\", \"pushoverUser\": \"caf\xC3\xA9\", \"watchPatterns\": [\"a\", \"\xC0\"],"
        " \"pollInterval\": 8, \"\xFE\": 1}";
    store(contents);
    AppSettings settings(dir.path(), writer);
    EXPECT_EQ(settings.ntfyTopic.get(), "");
    EXPECT_EQ(settings.watchPatterns.get(), defaultWatchPatterns());
    EXPECT_EQ(settings.pushoverUser.get(), "caf\xC3\xA9");
    EXPECT_EQ(settings.pollInterval.get(), 8);

    settings.pushoverToken.set("t");
    writer.flush();
    EXPECT_EQ(testing::readFile(bad()), contents);
    EXPECT_EQ(json::parse(*testing::readFile(file())),
              json({{"pushoverUser", "caf\xC3\xA9"}, {"pollInterval", 8}, {"pushoverToken", "t"}}));
}

TEST_F(PreferencesBadInput, TextThatIsNotUtf8IsStillSaved) {
    AppSettings settings(dir.path(), writer);
    settings.pollInterval.set(6);
    settings.ntfyTopic.set("bad\xFF");
    writer.flush();
    AppSettings reloaded(dir.path(), writer);
    EXPECT_EQ(reloaded.pollInterval.get(), 6);
    EXPECT_EQ(reloaded.ntfyTopic.get(), "bad\uFFFD");
}

TEST_F(PreferencesBadInput, HugeArraysAreHandled) {
    json big = json::object();
    big["watchPatterns"] = json::array();
    for (int i = 0; i < 20000; ++i) big["watchPatterns"].push_back("p" + std::to_string(i % 5000));
    big["pollInterval"] = 9;
    store(big.dump());
    AppSettings settings(dir.path(), writer);
    // Repeats dropped, then cut to the list's size limit.
    const auto& patterns = settings.watchPatterns.get();
    EXPECT_GT(patterns.size(), 3000u);
    EXPECT_LT(patterns.size(), 5000u);
    EXPECT_EQ(patterns[4000 - 1], "p3999");
    EXPECT_LE(json(patterns).dump().size(), 32u * 1024);
    EXPECT_EQ(settings.pollInterval.get(), 9);
}

TEST_F(PreferencesBadInput, OversizedAndSpecialFilesAreNotRead) {
    store("{\"pollInterval\": 9, \"pad\": \"" + std::string(kMaxPreferencesFileSize, 'x') + "\"}");
    {
        AppSettings settings(dir.path(), writer);
        EXPECT_EQ(settings.pollInterval.get(), 3);
        settings.pollInterval.set(4);
        writer.flush();
        EXPECT_GT(std::filesystem::file_size(bad()), kMaxPreferencesFileSize);
    }
    // A FIFO would block a plain read forever.
    std::filesystem::remove(file());
    ASSERT_EQ(::mkfifo(file().c_str(), 0600), 0);
    AppSettings settings(dir.path(), writer);
    EXPECT_EQ(settings.pollInterval.get(), 3);
    settings.pollInterval.set(5);
    writer.flush();
    EXPECT_TRUE(std::filesystem::is_regular_file(file()));
    EXPECT_EQ(AppSettings(dir.path(), writer).pollInterval.get(), 5);
}

TEST_F(PreferencesBadInput, AFailedSaveIsLoggedAndKeepsTheValue) {
    std::filesystem::create_directories(file());  // a folder where the file should be
    AppSettings settings(dir.path(), writer);
    logs.clear();
    settings.pollInterval.set(4);
    writer.flush();
    EXPECT_EQ(settings.pollInterval.get(), 4);
    bool logged = false;
    for (const auto& line : logs.lines()) logged |= line.starts_with("Settings: error: Cannot save preferences");
    EXPECT_TRUE(logged);
}

}  // namespace
}  // namespace vigilo
