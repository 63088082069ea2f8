#include "ui/qt/windows/rules_window.h"

#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <fstream>
#include <nlohmann/json.hpp>

#include "app/app_state_fixture.h"

namespace vigilo {
namespace {

using RulesWindowTest = testing::AppStateTest;

nlohmann::json storedRules(SerialWriter& writer, const std::filesystem::path& file) {
    writer.flush();
    std::ifstream in(file);
    return nlohmann::json::parse(in);
}

TEST_F(RulesWindowTest, ACustomRuleTypedInTheWindowReachesTheRulesFileAndItsDeleteRemovesIt) {
    RulesStore store(dir.path() / "Vigilo", loop.clock(), writer);
    const auto file = *store.fileURL();
    RulesWindow window(store, settings, loop);
    window.present();

    QTest::keyClicks(&window.processField(), " \t");
    QTest::keyClick(&window.processField(), Qt::Key_Return);
    EXPECT_EQ(storedRules(writer, file).size(), 9u) << "a blank name adds nothing";

    QTest::keyClicks(&window.processField(), " Blender ");
    QTest::keyClick(&window.processField(), Qt::Key_Return);
    const auto stored = storedRules(writer, file);
    ASSERT_EQ(stored.size(), 10u);
    EXPECT_EQ(stored.back()["name"], "blender \u2192 keep awake + AI cooling");
    EXPECT_EQ(stored.back()["conditions"][0]["processRunning"]["pattern"], "blender");
    EXPECT_FALSE(stored.back()["isBuiltIn"].get<bool>());
    EXPECT_TRUE(window.processField().text().isEmpty());

    // Only the custom rule has a delete button; rows made later still come
    // before the field in the tab order.
    const auto deletes = window.findChildren<QToolButton*>();
    ASSERT_EQ(deletes.size(), 1);
    EXPECT_EQ(deletes.front()->nextInFocusChain(), &window.processField());
    deletes.front()->click();
    EXPECT_EQ(storedRules(writer, file).size(), 9u);
}

}  // namespace
}  // namespace vigilo
